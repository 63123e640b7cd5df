#!/usr/bin/env bash
# Runs the test functions of a QtTest program but the ones named: those that cannot hold under emulation.
# A name that is no test function of the program fails, so a renamed function is not left out unseen.
# Usage: run_except.sh EMULATOR PROGRAM FUNCTION...   (EMULATOR: the command that runs PROGRAM, or "")
set -euo pipefail
read -r -a command <<<"$1"
command+=("$2")
shift 2
mapfile -t all < <("${command[@]}" -functions | sed -n 's/()$//p')
keep=()
for f in "${all[@]}"; do
    case " $* " in
    *" $f "*) ;;
    *) keep+=("$f") ;;
    esac
done
for x in "$@"; do
    case " ${all[*]} " in
    *" $x "*) ;;
    *) echo "run_except.sh: $x is no test function of ${command[-1]}" >&2; exit 1 ;;
    esac
done
[ ${#keep[@]} -gt 0 ] || { echo "run_except.sh: no test function left to run" >&2; exit 1; }
echo "Not run under emulation: $*"
exec "${command[@]}" "${keep[@]}"

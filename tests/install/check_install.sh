#!/usr/bin/env bash
# Installs the build into a temporary prefix with `cmake --install` and checks the installed tree as a user and
# a desktop meet it: the programs run, the menu entry and metainfo validate and point at what was installed,
# the manual pages render cleanly and cover every command and option, and the bash completion completes.
# Usage: check_install.sh BUILD_DIR VERSION. Writes nothing outside its own temporary folder.
set -uo pipefail

BUILD_DIR=${1:?build folder}
VERSION=${2:?version}
APP_ID=com.velmora.mdconfig

WORK=$(mktemp -d "${TMPDIR:-/tmp}/mdconfig-install.XXXXXX") || exit 1
trap 'rm -rf "$WORK"' EXIT
PREFIX=$WORK/prefix
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config
mkdir -p "$HOME"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

if ! cmake --install "$BUILD_DIR" --prefix "$PREFIX" >"$WORK/install.log" 2>&1; then
    cat "$WORK/install.log" >&2
    echo "FAIL: cmake --install into $PREFIX" >&2
    exit 1
fi

# Every file lands under the prefix: no rule may name an absolute folder of its own.
outside=$(grep -v -F "$PREFIX/" "$BUILD_DIR/install_manifest.txt")
[ -z "$outside" ] || fail "installed outside the prefix: $outside"

BIN=$PREFIX/bin
SHARE=$PREFIX/share
DESKTOP=$SHARE/applications/$APP_ID.desktop
METAINFO=$SHARE/metainfo/$APP_ID.metainfo.xml
COMPLETION=$SHARE/bash-completion/completions/mdconfig-cli
MIMEXML=$SHARE/mime/packages/$APP_ID.xml
PLAN_TYPE=application/x-mdconfig-plan
UNIT=$PREFIX/lib/systemd/system/mdconfig-serve@.service
for f in "$BIN/mdconfig" "$BIN/mdconfig-cli" "$DESKTOP" "$METAINFO" "$COMPLETION" "$MIMEXML" \
    "$SHARE/icons/hicolor/scalable/apps/$APP_ID.svg" \
    "$SHARE/man/man1/mdconfig.1.gz" "$SHARE/man/man1/mdconfig-cli.1.gz" \
    "$SHARE/doc/mdconfig/copyright" "$SHARE/doc/mdconfig/changelog.gz" "$UNIT"; do
    [ -f "$f" ] || fail "not installed: ${f#"$PREFIX"/}"
done
# Nothing of the build folder may leak into the installed programs.
for p in mdconfig mdconfig-cli; do
    if [ -f "$BIN/$p" ] && grep -q -F "$BUILD_DIR" "$BIN/$p" && command -v readelf >/dev/null &&
        readelf -d "$BIN/$p" | grep -q -F "$BUILD_DIR"; then
        fail "$p keeps a run path into the build folder"
    fi
done

# Both programs say the one version; the window program needs no display for that.
for p in mdconfig mdconfig-cli; do
    # A window program that does not know --version would open its window and wait: the timeout ends it.
    out=$(QT_QPA_PLATFORM=offscreen timeout 30 "$BIN/$p" --version 2>&1)
    rc=$?
    if [ $rc -ne 0 ]; then
        fail "$p --version exits with $rc: $out"
    elif ! grep -q -F -w "$VERSION" <<<"$out"; then
        fail "$p --version does not say $VERSION: $out"
    else
        pass "$p --version: $out"
    fi
done

# The menu entry: valid, and it starts and shows what was installed.
if command -v desktop-file-validate >/dev/null; then
    out=$(desktop-file-validate "$DESKTOP" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate says: $out"
else
    echo "skip: desktop-file-validate is not installed"
fi
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$DESKTOP")
icon_name=$(sed -n 's/^Icon=//p' "$DESKTOP")
[ -x "$BIN/$exec_name" ] || fail "the menu entry starts \"$exec_name\", which is not installed in bin"
[ -f "$SHARE/icons/hicolor/scalable/apps/$icon_name.svg" ] ||
    fail "the menu entry's icon \"$icon_name\" is not in the icon theme"

# Plan files: the menu entry opens them, and their type matches plan files and no other TOML file.
grep -q -x "MimeType=$PLAN_TYPE;" "$DESKTOP" || fail "the menu entry does not open $PLAN_TYPE"
grep -q -E '^Exec=[^ ]+ %[fF]$' "$DESKTOP" || fail "the menu entry does not pass the file it opens"
if command -v xmllint >/dev/null; then
    out=$(xmllint --noout "$MIMEXML" 2>&1) || fail "the MIME type is not well-formed XML: $out"
else
    echo "skip: xmllint is not installed"
fi
if command -v update-mime-database >/dev/null; then
    # A database of the system's types and ours alone, built as a desktop builds its own.
    MIMEDB=$WORK/mimedb/mime
    mkdir -p "$MIMEDB/packages"
    cp "$MIMEXML" "$MIMEDB/packages/"
    [ -f /usr/share/mime/packages/freedesktop.org.xml ] && cp /usr/share/mime/packages/freedesktop.org.xml "$MIMEDB/packages/"
    out=$(update-mime-database -V "$MIMEDB" 2>&1) || fail "update-mime-database refuses the MIME type: $out"
    grep -i -E 'warn|error|invalid|unknown' <<<"$out" | grep -v -F freedesktop.org.xml | grep -q . &&
        fail "update-mime-database warns about the MIME type: $out"
    globs=$(grep -F ":$PLAN_TYPE:" "$MIMEDB/globs2" | cut -d: -f3 | sort -u)
    [ "$globs" = "*.mdplan.toml" ] || fail "the plan type matches [$(echo $globs)], expected [*.mdplan.toml]"
    if command -v gio >/dev/null; then
        mkdir -p "$WORK/files"
        printf 'product = 0\n' >"$WORK/files/boat.mdplan.toml"
        printf 'title = "x"\n' >"$WORK/files/Cargo.toml"
        for pair in "boat.mdplan.toml=$PLAN_TYPE" "Cargo.toml=application/toml"; do
            file=${pair%%=*} expected=${pair#*=}
            type=$(XDG_DATA_HOME=$WORK/mimedb XDG_DATA_DIRS=$WORK/mimedb gio info -a standard::content-type \
                "$WORK/files/$file" 2>/dev/null | sed -n 's/.*standard::content-type: //p')
            [ "$type" = "$expected" ] || fail "$file is taken as \"$type\", expected $expected"
        done
        pass "plan files are $PLAN_TYPE, other TOML files are not"
    else
        echo "skip: gio is not installed; the glob alone was checked"
    fi
else
    echo "skip: update-mime-database is not installed"
fi

# The example plans come with the package, each one clean.
examples=$(ls "$SHARE/doc/mdconfig/examples/"*.mdplan.toml 2>/dev/null)
[ -n "$examples" ] || fail "no example plan is installed in share/doc/mdconfig/examples"
for example in $examples; do
    out=$("$BIN/mdconfig-cli" plan check "$example" 2>&1) || fail "the example $(basename "$example") is not clean: $out"
done

# The page on its own is installed, and is the file mdconfig-cli page writes.
[ -f "$SHARE/mdconfig/mdconfig-page.html" ] || fail "share/mdconfig/mdconfig-page.html is not installed"
"$BIN/mdconfig-cli" page --output "$WORK/page.html" >/dev/null || fail "mdconfig-cli page did not write the page"
cmp -s "$WORK/page.html" "$SHARE/mdconfig/mdconfig-page.html" || fail "mdconfig-cli page writes another page than the installed one"
pass "the page on its own is installed and written alike"

# The metainfo: valid, naming this version and the installed menu entry.
if command -v appstreamcli >/dev/null; then
    out=$(appstreamcli validate --no-net --pedantic "$METAINFO" 2>&1) || fail "appstreamcli validate: $out"
else
    echo "skip: appstreamcli is not installed"
fi
grep -q "<release version=\"$VERSION\"" "$METAINFO" || fail "the metainfo has no release $VERSION"
grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$METAINFO" ||
    fail "the metainfo does not launch $APP_ID.desktop"
grep -q "<screenshot" "$METAINFO" || fail "the metainfo has no screenshot"

# The service: it verifies as systemd would load it (as an instance, with its program where this test
# installed it and the manual page it names), it is hardened, and nothing enables it.
if command -v systemd-analyze >/dev/null && [ -f "$UNIT" ]; then
    mkdir -p "$WORK/units"
    sed "s|^ExecStart=[^ ]*/mdconfig-cli |ExecStart=$BIN/mdconfig-cli |" "$UNIT" >"$WORK/units/mdconfig-serve@wlan0.service"
    out=$(cd "$WORK/units" && MANPATH=$SHARE/man: systemd-analyze verify "$WORK/units/mdconfig-serve@wlan0.service" 2>&1)
    rc=$?
    if [ $rc -ne 0 ] || [ -n "$out" ]; then
        fail "systemd-analyze verify mdconfig-serve@wlan0.service: $out"
    else
        pass "systemd-analyze verify accepts mdconfig-serve@wlan0.service"
    fi
    for setting in NoNewPrivileges=yes ProtectSystem=strict PrivateTmp=yes SupplementaryGroups=dialout \
        StateDirectory=mdconfig; do
        grep -q -x -F "$setting" "$UNIT" || fail "the service is not hardened with $setting"
    done
    [ -z "$(find "$PREFIX" -path '*wants*' -name 'mdconfig-serve*')" ] || fail "the service is enabled by install"
else
    echo "skip: systemd-analyze is not installed"
fi

# The manual pages render without a warning, show this version, and name every command and option that
# `mdconfig-cli --help` names, so a new verb without its page is caught.
if command -v man >/dev/null; then
    for p in mdconfig mdconfig-cli; do
        page=$SHARE/man/man1/$p.1.gz
        LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$WORK/$p.txt" 2>"$WORK/$p.err"
        rc=$?
        [ $rc -eq 0 ] || fail "man -l $p.1.gz exits with $rc"
        [ -s "$WORK/$p.err" ] && fail "man -l $p.1.gz warns: $(cat "$WORK/$p.err")"
        grep -q -F "mdconfig $VERSION" "$WORK/$p.txt" || fail "the $p page does not show version $VERSION"
        for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" ENVIRONMENT FILES; do
            grep -q "^$section" "$WORK/$p.txt" || fail "the $p page has no $section section"
        done
        grep -q "MDCONFIG_COMn" "$WORK/$p.txt" || fail "the $p page does not name MDCONFIG_COM<n>"
        grep -q "dialout" "$WORK/$p.txt" || fail "the $p page does not give the dialout hint"
    done
    grep -q "MD40_90.INI" "$WORK/mdconfig.txt" || fail "the mdconfig page does not name the settings file"
    grep -q "\.config/Velmora/mdconfig" "$WORK/mdconfig.txt" ||
        fail "the mdconfig page does not name the per-user settings folder"
    help=$("$BIN/mdconfig-cli" --help 2>&1)
    words=$( (grep -o -E -- '--[a-z][a-z-]*' <<<"$help"; grep -o -E '^  mdconfig-cli [a-z]+' <<<"$help" |
        awk '{print $2}') | sort -u)
    # An option is described under its own heading in OPTIONS, a command under its own in COMMANDS.
    for w in $words; do
        if [[ $w == --* ]]; then
            grep -q -E -e "^ {7}(-[a-z], )?$w( |,|\$)" "$WORK/mdconfig-cli.txt" ||
                fail "the mdconfig-cli page does not describe $w"
        else
            grep -q -E -e "^ {3}$w( |\$)" "$WORK/mdconfig-cli.txt" ||
                fail "the mdconfig-cli page does not describe the command $w"
        fi
    done
    [ -n "$words" ] && pass "the manual pages render and name: $(echo $words)"
else
    echo "skip: man is not installed"
fi

# The completion: loads in a plain bash and completes as a user would see it.
complete_line() { # words... -> the replies, one a line; the last word is the one being completed
    bash --norc --noprofile -c '
        source "$1" || exit 3
        shift
        COMP_WORDS=("$@")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        fn=$(complete -p mdconfig-cli | sed -n "s/.*-F \([^ ]*\) .*/\1/p")
        [ -n "$fn" ] || exit 4
        "$fn" mdconfig-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}"' complete "$COMPLETION" "$BIN/mdconfig-cli" "$@"
}
expect_completion() { # expected-replies-one-a-line words...
    local expected=$1
    shift
    local got
    got=$(complete_line "$@")
    if [ "$got" != "$expected" ]; then
        fail "completing \"$*\" gives [$(echo $got)], expected [$(echo $expected)]"
    else
        pass "completing \"$*\" gives [$(echo $got)]"
    fi
}
expect_completion frames fr
expect_completion "$(printf 'send\nserve')" se
expect_completion serve ser
expect_completion test plan t
expect_completion lo serve --listen lo
expect_completion --no-qr serve --listen lo --no
expect_completion "$(printf -- '--help\n--version')" --
expect_completion proprietary frames p
expect_completion XDR frames standard --sentence XD
expect_completion DegC frames standard --icon degc
expect_completion "$(printf 'DEG\nDegC\nDegF')" frames standard --icon De
expect_completion 'NX20/40\ ENGINE\ RPM' frames proprietary --instrument "NX20/40 ENGINE R"
expect_completion 'NX20/40 ENGINE RPM' frames proprietary --instrument '"nx20/40 engine r'
expect_completion '--sentence' frames standard --talker GP --se
expect_completion '' frames standard --talker GP --talker
expect_completion '--device' send proprietary --de
expect_completion '' frames proprietary --de
expect_completion GP frames standard --talker = G
expect_completion --talker=GP frames standard --talker=G
# Verbs of a verb, their positional arguments and their options come from the same declarations.
expect_completion "$(printf 'check\nframes\nsend\nexport\ntest\n--help')" plan ''
expect_completion "$(printf 'standard\nproprietary')" plan export x.toml ''
expect_completion '--instrument' plan export x.toml proprietary --in
expect_completion '--confirm' plan send x.toml --port 1 --c
expect_completion "$(printf '4800\n38400\nauto')" listen --baud ''
expect_completion '' listen --seconds ''
expect_completion "$(printf -- '--json\n--help')" decode 24 --

# Every value the completion offers for a list is one the program accepts, and the lists hold the entries
# the README's examples use.
offered() { # option words... -> the values offered after the option, unescaped, one a line
    local r v
    complete_line "$@" "" | while IFS= read -r r; do
        eval "v=$r"
        printf '%s\n' "$v"
    done
}
check_values() { # option example verb-and-kind-and-other-options...
    local option=$1 example=$2
    shift 2
    local values value count=0
    local -a refused=()
    values=$(offered "$@" "$option")
    grep -q -x -F -e "$example" <<<"$values" || fail "completing $option does not offer $example"
    while IFS= read -r value; do
        [ -n "$value" ] || continue
        count=$((count + 1))
        "$BIN/mdconfig-cli" "$@" "$option" "$value" >/dev/null 2>&1 || refused+=("$value")
    done <<<"$values"
    if [ ${#refused[@]} -ne 0 ]; then
        fail "completing $option offers ${#refused[@]} value(s) mdconfig-cli refuses: ${refused[*]:0:5}"
    else
        pass "all $count values completed for $option are accepted"
    fi
}
standard=(frames standard --talker GP --sentence RMC --field 5 --memory 3 --product 2)
proprietary=(frames proprietary --instrument 11 --memory 2 --product 0)
check_values --talker II "${standard[@]:0:2}" "${standard[@]:4}"
check_values --sentence XDR "${standard[@]:0:4}" "${standard[@]:6}"
check_values --field 25 "${standard[@]:0:6}" "${standard[@]:8}"
check_values --memory 10 "${standard[@]:0:8}" "${standard[@]:10}"
check_values --product 1 "${standard[@]:0:10}"
check_values --type C "${standard[@]}"
check_values --icon KT "${standard[@]}"
check_values --instrument "NX20/40 ENGINE RPM" "${proprietary[@]:0:2}" "${proprietary[@]:4}"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) of the installed tree failed" >&2
    exit 1
fi
echo "the installed tree is complete"

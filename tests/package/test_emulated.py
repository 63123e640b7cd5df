#!/usr/bin/env python3
"""The cross-built (arm64) mdconfig-cli, run under the emulator, against the build machine's own (amd64) one:
both must print the same, exit alike, and put the same bytes on a serial line. The arm64 program sends a
configuration into a pseudo-terminal that the build machine's `simulate` reads, and into one read raw here;
timing is not judged, as emulation runs slower.
Usage: test_emulated.py EMULATOR PROGRAM REFERENCE EXAMPLES_DIR
(EMULATOR: the command line that runs PROGRAM, such as qemu-aarch64-static.)"""
import glob
import json
import os
import shlex
import signal
import subprocess
import sys
import tempfile
import threading
import time
import tty

ELF_MACHINES = {62: "x86-64", 183: "AArch64"}
SEND = ["standard", "--talker", "II", "--sentence", "XDR", "--field", "3", "--type", "C", "--memory", "4",
        "--product", "2", "--icon", "KT"]
# What simulate says a display took from a send.
TAKEN = ("accepted", "location", "shows", "kind", "talker", "sentence", "field", "type", "instrument", "icon", "body")
failures = []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what, flush=True)
    if not ok:
        failures.append(what)


def machine(path):
    with open(path, "rb") as f:
        head = f.read(20)
    if head[:4] != b"\x7fELF":
        return "not an ELF program"
    return ELF_MACHINES.get(int.from_bytes(head[18:20], "little"), "machine %d" % head[18])


def run(command, args, stdin=None, timeout=120):
    out = subprocess.run(command + args, input=stdin, capture_output=True, timeout=timeout)
    return out.returncode, out.stdout, out.stderr


# What both must answer alike, with the status each must exit with.
def cases(examples):
    rows = [
        (["--version"], 0),
        (["frames"] + SEND, 0),
        (["frames", "standard", "--talker", "GP", "--sentence", "RMC", "--field", "5", "--memory", "3",
          "--product", "0"], 0),
        (["frames", "proprietary", "--instrument", "NX20/40 ENGINE RPM", "--memory", "2", "--product", "1",
          "--json"], 0),
        (["frames", "standard", "--talker", "GP", "--sentence", "GPRMC", "--field", "5", "--memory", "3"], 2),
        (["decode", "24 32 47 50 52 4D 43 05 35 04 5F"], 0),
        (["decode", "--json", "2432475052 4D4305350400"], 1),
        (["decode", "24 3G"], 2),
    ]
    for example in examples:
        rows += [(["plan", "check", example], 0), (["plan", "check", example, "--json"], 0),
                 (["plan", "frames", example], 0), (["plan", "frames", example, "--json"], 0)]
    return rows


def same_answers(program, reference, examples):
    for args, status in cases(examples):
        mine, theirs = run(program, args), run(reference, args)
        what = " ".join(args)
        check(mine[0] == status, f"{what}: exits {mine[0]} (want {status})")
        check(mine == theirs, f"{what}: prints and exits as the reference does")
        if status == 0:
            check(bool(mine[1].strip()), f"{what}: prints something")
    # decode takes back every frame the arm64 program composes.
    frames = run(program, ["frames"] + SEND)[1].decode().split()
    status, out, _ = run(program, ["decode"] + frames)
    read = [line for line in out.splitlines() if line.startswith(b"frame ")]
    check(status == 0 and len(read) == 10, f"decode reads all ten frames of a send back as sound ({len(read)})")


class RawLine:
    """A pseudo-terminal whose far end a sender opens as its serial port; every byte it writes is kept."""

    def __init__(self):
        self.near, self.far = os.openpty()
        tty.setraw(self.far)
        self.path = os.ttyname(self.far)
        self.bytes = bytearray()
        self.stop = threading.Event()
        self.reader = threading.Thread(target=self.read)
        self.reader.start()

    def read(self):
        import select
        while not self.stop.is_set():
            ready, _, _ = select.select([self.near], [], [], 0.05)
            if ready:
                try:
                    self.bytes += os.read(self.near, 4096)
                except OSError:
                    time.sleep(0.05)

    def close(self):
        time.sleep(0.3)
        self.stop.set()
        self.reader.join()
        os.close(self.near)
        os.close(self.far)


def raw_send(program, reference):
    expected = bytes.fromhex("".join(run(reference, ["frames"] + SEND)[1].decode().split()))
    line = RawLine()
    try:
        status, _, err = run(program, ["send"] + SEND + ["--device", line.path], timeout=180)
    finally:
        line.close()
    check(status == 0, f"send into a pseudo-terminal exits 0 ({err.decode(errors='replace').strip()[-200:]})")
    check(len(expected) == 110, "the reference's send is ten 11-byte frames")
    check(bytes(line.bytes) == expected,
          f"the line carries the reference's {len(expected)} bytes (got {len(line.bytes)}: {line.bytes.hex()})")


def simulated_send(sender, reference, work, name):
    """Sends with SENDER into the reference's simulate; what the display took, as simulate says it."""
    plan = os.path.join(work, name + ".toml")
    sim = subprocess.Popen(reference + ["simulate", "--pty", "--json", "--plan-out", plan, "--seconds", "120"],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        first = sim.stderr.readline().decode()
        marker = "simulated display on "
        check(first.startswith(marker), f"simulate says where it listens: {first.strip()}")
        path = first[len(marker):].split(":")[0]
        status, _, err = run(sender, ["send"] + SEND + ["--device", path], timeout=180)
        check(status == 0, f"{name}: send exits 0 ({err.decode(errors='replace').strip()[-200:]})")
        time.sleep(2)  # a send ends after a second of silence
    finally:
        sim.send_signal(signal.SIGINT)
        out, _ = sim.communicate(timeout=60)
    lines = [json.loads(l) for l in out.decode().splitlines() if l.startswith("{")]
    taken = [l for l in lines if l.get("accepted")]
    for l in taken:
        print(f"  {name}: simulate took location {l.get('location')}: {l.get('shows')}; "
              f"warnings: {l.get('warnings')}")
    check(len(taken) == 1, f"{name}: simulate took one send ({len(lines)} lines)")
    kept = open(plan, encoding="utf-8").read() if os.path.exists(plan) else "<no plan>"
    # What the display took, not how the bytes were timed: emulation may delay a byte past the pause that
    # ends a repetition, which the warnings and the count of repetitions show.
    return [{k: l.get(k) for k in TAKEN} for l in taken], kept


def main():
    emulator, program_path, reference_path, examples_dir = sys.argv[1:5]
    program = shlex.split(emulator) + [program_path]
    reference = [reference_path]
    check(machine(program_path) == "AArch64", f"{program_path} is an AArch64 program ({machine(program_path)})")
    check(machine(reference_path) == "x86-64", f"{reference_path} is an x86-64 program ({machine(reference_path)})")
    examples = sorted(glob.glob(os.path.join(examples_dir, "*.toml")))
    check(len(examples) >= 2, f"{len(examples)} example plans")

    work = tempfile.mkdtemp(prefix="mdconfig-emulated-")
    os.environ["HOME"] = work
    os.environ["XDG_CONFIG_HOME"] = os.path.join(work, "config")
    same_answers(program, reference, examples)
    raw_send(program, reference)
    mine = simulated_send(program, reference, work, "arm64")
    theirs = simulated_send(reference, reference, work, "reference")
    check(mine[0] and mine == theirs, "the display took the same from both, and kept the same plan")
    subprocess.run(["rm", "-rf", work])
    if failures:
        print(f"{len(failures)} check(s) failed", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()

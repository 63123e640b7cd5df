#!/usr/bin/env python3
"""The Debian package scripts/package.sh made, as dpkg-deb shows it: its architecture, dependencies that name
the packages of that architecture holding every library its programs link, the service unit and both programs
inside, and the page built into the packaged mdconfig-cli, which is started (under the emulator when given)
and serves it on the loopback address.
Usage: test_deb.py PACKAGE.deb ARCH [EMULATOR]"""
import os
import re
import shlex
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

ELF_MACHINES = {"amd64": 62, "arm64": 183}
failures = []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what, flush=True)
    if not ok:
        failures.append(what)


def text(args):
    return subprocess.run(args, capture_output=True, text=True, check=True).stdout


def needed(program):
    """The shared libraries a program links, as its dynamic section names them."""
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", text(["readelf", "-d", program]))


def owner(library, arch):
    """The package of ARCH that holds a library, such as libqt6core6:arm64."""
    triplet = text(["dpkg-architecture", "-a", arch, "-qDEB_HOST_MULTIARCH"]).strip()
    for folder in (f"/usr/lib/{triplet}", f"/lib/{triplet}", "/lib", "/usr/lib"):
        out = subprocess.run(["dpkg", "-S", f"{folder}/{library}"], capture_output=True, text=True)
        if out.returncode == 0:
            return out.stdout.split(":")[0] + ":" + out.stdout.split(":")[1].strip().split(",")[0]
    return None


def serves_page(command, home):
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"))
    env.pop("STATE_DIRECTORY", None)
    serve = subprocess.Popen(command + ["serve", "--listen", f"127.0.0.1:{port}", "--device", "/dev/null",
                                        "--no-qr", "--seconds", "120"],
                             env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        page = None
        end = time.monotonic() + 90
        while page is None and time.monotonic() < end and serve.poll() is None:
            try:
                with urllib.request.urlopen(f"http://127.0.0.1:{port}/", timeout=10) as r:
                    page = r.read().decode(errors="replace")
            except OSError:
                time.sleep(0.5)
        check(page is not None and "<html" in page.lower() and "app.js" in page,
              f"the packaged mdconfig-cli serves its page ({(page or 'nothing')[:60]!r})")
    finally:
        serve.terminate()
        _, err = serve.communicate(timeout=60)
        if failures:
            print(err.decode(errors="replace")[-500:], file=sys.stderr)


def main():
    deb, arch = sys.argv[1], sys.argv[2]
    emulator = shlex.split(sys.argv[3]) if len(sys.argv) > 3 else []
    if not os.path.isfile(deb):
        print(f"FAIL: no package {deb}: scripts/package.sh --arch {arch} makes it", file=sys.stderr)
        sys.exit(1)
    info = text(["dpkg-deb", "-I", deb])
    print(info)
    fields = {k: text(["dpkg-deb", "-f", deb, k]).strip() for k in ("Package", "Architecture", "Depends")}
    check(fields["Package"] == "mdconfig", "Package: mdconfig")
    check(fields["Architecture"] == arch, f"Architecture: {fields['Architecture']} (want {arch})")
    depends = {d.strip().split(" ")[0] for d in fields["Depends"].split(",") if d.strip()}
    check(not any(":" in d for d in depends), "no dependency names another architecture")

    contents = text(["dpkg-deb", "-c", deb])
    for path in ("./usr/bin/mdconfig", "./usr/bin/mdconfig-cli", "./lib/systemd/system/mdconfig-serve@.service",
                 "./usr/share/man/man1/mdconfig-cli.1.gz"):
        check(re.search(r"\s" + re.escape(path) + r"$", contents, re.M) is not None, f"{path} is inside")

    work = tempfile.mkdtemp(prefix="mdconfig-deb-")
    try:
        root = os.path.join(work, "root")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        unit = open(os.path.join(root, "lib/systemd/system/mdconfig-serve@.service"), encoding="utf-8").read()
        check("ExecStart=/usr/bin/mdconfig-cli serve --listen %i" in unit, "the unit starts /usr/bin/mdconfig-cli serve")
        for name in ("mdconfig", "mdconfig-cli"):
            program = os.path.join(root, "usr/bin", name)
            with open(program, "rb") as f:
                head = f.read(20)
            check(int.from_bytes(head[18:20], "little") == ELF_MACHINES[arch], f"{name} is an {arch} program")
            # Every library the program links is held by a package of this architecture the package depends on.
            for library in needed(program):
                holder = owner(library, arch)
                check(holder is not None and holder.endswith(":" + arch) and holder.split(":")[0] in depends,
                      f"{name} links {library} from {holder}, which the package depends on")
        check({"libqt6core6", "libqt6network6", "libqt6serialport6", "libqt6widgets6"} <= depends,
              "it depends on the Qt libraries")
        command = emulator + [os.path.join(root, "usr/bin/mdconfig-cli")]
        version = subprocess.run(command + ["--version"], capture_output=True, text=True, timeout=60)
        check(version.returncode == 0 and version.stdout.startswith("mdconfig"),
              f"the packaged mdconfig-cli --version: {version.stdout.strip()}")
        serves_page(command, os.path.join(work, "home"))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print(f"{len(failures)} check(s) failed", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()

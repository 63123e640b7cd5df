#!/usr/bin/env python3
"""`mdconfig-cli serve` from the command line: no listening without an address the user chose, and the QR
code `serve --print-url` prints, read back from the terminal text into an image and decoded with zbarimg,
says exactly the address printed above it. Exits 77 ("skipped") only where zbarimg is missing.
Usage: test_serve.py MDCONFIG_CLI"""
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

BLOCKS = {"\u2588": (1, 1), "\u2580": (1, 0), "\u2584": (0, 1), " ": (0, 0)}  # light upper, light lower


USAGE = [  # arguments, exit status, what standard error must say
    (["serve", "--device", "/dev/null"], 2, "--listen is missing"),
    (["serve", "--device", "/dev/null"], 2, "127.0.0.1"),  # the interfaces are listed
    (["serve", "--listen", "0.0.0.0", "--device", "/dev/null"], 2, "every interface"),
    (["serve", "--listen", "[::]:8421", "--device", "/dev/null"], 2, "every interface"),
    (["serve", "--listen", "[::ffff:0.0.0.0]:8421", "--device", "/dev/null", "--seconds", "1"], 2, "every interface"),
    (["serve", "--listen", "127.0.0.1:99999", "--device", "/dev/null"], 2, "valid ports"),
    (["serve", "--listen", "nosuchif9", "--device", "/dev/null"], 2, "neither an address nor an interface"),
    (["serve", "--listen", "127.0.0.1"], 2, "--port or --device is missing"),
    (["serve", "--listen", "127.0.0.1", "--device", "/dev/null", "--allow-host"], 2, "--allow-host needs"),
    (["serve", "--print-url"], 1, "give --listen"),
    (["serve", "--listen", "127.0.0.1", "--device", "/dev/null", "--bus", "/dev/ttyUSB0"], 2, "--bus: "),
    (["serve", "--listen", "127.0.0.1", "--device", "/dev/null", "--bus", "tcp://boat"], 2, "--bus: "),
]


def usage(cli, env):
    for args, status, text in USAGE:
        out = subprocess.run([cli] + args, env=env, capture_output=True, text=True, timeout=60)
        assert out.returncode == status, f"{args}: exit {out.returncode}: {out.stderr}"
        assert text in out.stderr, f"{args}: {out.stderr!r} does not say {text!r}"
        assert out.stderr.count("mdconfig-cli:") == 1, f"{args}: not one line: {out.stderr!r}"
    print(f"ok: {len(USAGE)} usage errors answered as they should be")


def interrupted_send(cli, env, home):
    """SIGTERM while the page sends: the service says where the send was cut, as `send` does, and ends
    with 1. Real bytes through a socat pseudo-terminal pair."""
    link = os.path.join(home, "pty")
    socat = subprocess.Popen(["socat", f"pty,raw,echo=0,link={link}-a", f"pty,raw,echo=0,link={link}-b"])
    serve = None
    try:
        for _ in range(100):
            if os.path.exists(link + "-b"):
                break
            time.sleep(0.1)
        receiver = os.open(link + "-b", os.O_RDONLY | os.O_NOCTTY)
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        serve = subprocess.Popen([cli, "serve", "--listen", f"127.0.0.1:{port}", "--device", link + "-a", "--no-qr"],
                                 env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        token = re.search(r"#token=([0-9a-f]{32})", serve.stdout.readline()).group(1)
        body = json.dumps({"product": 2, "locations": [
            {"location": 4, "talker": "GP", "sentence": "RMC", "field": 7}]}).encode()
        request = urllib.request.Request(f"http://127.0.0.1:{port}/api/send", data=body, method="POST", headers={
            "Authorization": f"Bearer {token}", "Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=30) as r:
            assert r.status == 202, r.status
        got = b""
        while len(got) < 12:
            got += os.read(receiver, 64)
        serve.send_signal(signal.SIGTERM)
        _, err = serve.communicate(timeout=60)
        os.close(receiver)
        assert serve.returncode == 1, f"exit {serve.returncode}: {err}"
        m = re.search(r"mdconfig-cli: interrupted after (\d+) of 110 bytes of location 4; location 4 was not sent", err)
        assert m and 12 <= int(m.group(1)) < 110, err
        print(f"ok: SIGTERM cut the page's send after {m.group(1)} bytes, and the service said so")
    finally:
        for p in (serve, socat):
            if p and p.poll() is None:
                p.terminate()
                p.wait(timeout=30)


def main():
    cli = sys.argv[1]
    home = tempfile.mkdtemp(prefix="mdconfig-serve-")
    try:
        env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"))
        env.pop("STATE_DIRECTORY", None)
        usage(cli, env)
        interrupted_send(cli, env, home)
    finally:
        shutil.rmtree(home, ignore_errors=True)
    if not shutil.which("zbarimg"):
        print("skipped: zbarimg (zbar-tools) is not installed")
        sys.exit(77)
    home = tempfile.mkdtemp(prefix="mdconfig-qr-")
    try:
        env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"))
        env.pop("STATE_DIRECTORY", None)
        for listen in ("127.0.0.1:8421", "[::1]:9000"):
            out = subprocess.run([cli, "serve", "--print-url", "--listen", listen], env=env, capture_output=True,
                                 text=True, timeout=60)
            assert out.returncode == 0, out.stderr
            lines = out.stdout.splitlines()
            url = lines[0]
            assert url.startswith("http://") and "#token=" in url, url
            code = lines[1:]
            assert code and all(set(line) <= set(BLOCKS) for line in code), "the QR code has other characters"
            # Each character is two modules, one above the other; light modules are the blocks. Scaled up,
            # with a white border, as a plain PBM (1 is black).
            rows = []
            for line in code:
                upper = [BLOCKS[c][0] for c in line]
                lower = [BLOCKS[c][1] for c in line]
                rows += [upper, lower]
            scale, border = 8, 4
            width = (len(rows[0]) + 2 * border) * scale
            pixels = []
            blank = [0] * width
            for _ in range(border * scale):
                pixels.append(blank)
            for row in rows:
                line = [0] * (border * scale)
                for light in row:
                    line += [0 if light else 1] * scale
                line += [0] * (border * scale)
                for _ in range(scale):
                    pixels.append(line)
            for _ in range(border * scale):
                pixels.append(blank)
            image = os.path.join(home, "qr.pbm")
            with open(image, "w") as f:
                f.write(f"P1\n{width} {len(pixels)}\n")
                for line in pixels:
                    f.write(" ".join(map(str, line)) + "\n")
            decoded = subprocess.run(["zbarimg", "--raw", "-q", image], capture_output=True, text=True, timeout=60)
            assert decoded.returncode == 0, f"zbarimg could not read the code: {decoded.stderr}"
            assert decoded.stdout.strip() == url, f"{decoded.stdout.strip()!r} != {url!r}"
            print(f"ok: the QR code says {url.split('#')[0]}#token=...")
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The page in a real headless Chromium at phone size (390x844): open it with the token, build two
locations, send them into `mdconfig-cli simulate --pty`, see progress reach the end, and check that the
simulated display took exactly those locations. A screenshot is kept in the output folder. Only the
loopback address is used. Prints "skipped" and exits 77 only where the browser cannot run.

Usage: test_page.py MDCONFIG_CLI OUTPUT_DIR"""
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

sys.dont_write_bytecode = True  # nothing written beside the sources
from browser import skip, start_browser


def read_until(stream, pattern, seconds):
    """Reads lines until one matches; the match, or None when the time is up or the stream ends."""
    end = time.monotonic() + seconds
    import selectors
    sel = selectors.DefaultSelector()
    sel.register(stream, selectors.EVENT_READ)
    buffer = ""
    while time.monotonic() < end:
        if not sel.select(timeout=0.2):
            continue
        chunk = os.read(stream.fileno(), 4096).decode(errors="replace")
        if not chunk:
            return None
        buffer += chunk
        m = re.search(pattern, buffer)
        if m:
            return m
    return None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    cli, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    try:
        from selenium.webdriver.common.by import By
        from selenium.webdriver.support.ui import Select, WebDriverWait
    except ImportError:
        skip("python3-selenium is not installed")

    home = tempfile.mkdtemp(prefix="mdconfig-page-")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"))
    env.pop("STATE_DIRECTORY", None)
    procs = []
    driver = None
    try:
        sim = subprocess.Popen([cli, "simulate", "--pty", "--json", "--seconds", "280"], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        procs.append(sim)
        m = read_until(sim.stderr, r"(/dev/pts/\d+)", 30)
        assert m, "simulate did not say its pseudo-terminal"
        pty = m.group(1)

        port = free_port()
        serve = subprocess.Popen([cli, "serve", "--listen", f"127.0.0.1:{port}", "--device", pty, "--no-qr",
                                  "--seconds", "270"], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        procs.append(serve)
        m = read_until(serve.stdout, r"(http://127\.0\.0\.1:\d+/#token=[0-9a-f]{32})", 30)
        assert m, "serve did not print its address"
        url = m.group(1)
        base = url.split("#")[0]

        # The first load: everything the page needs, from the board alone, under 150 KB.
        first = 0
        for path in ("", "app.js", "app.css"):
            with urllib.request.urlopen(base + path, timeout=30) as r:
                first += len(r.read())
        assert first < 150 * 1024, f"the first load is {first} bytes"

        driver = start_browser(home, 390, 844, allow="127.0.0.1", phone=True)
        driver.set_page_load_timeout(60)
        driver.get(url)
        wait = WebDriverWait(driver, 60)
        wait.until(lambda d: d.find_elements(By.ID, "location-10"))
        assert "#token" not in driver.current_url, "the token stays in the address bar"
        assert driver.execute_script("return window.innerWidth") == 390

        Select(driver.find_element(By.ID, "product")).select_by_value("0")
        Select(driver.find_element(By.ID, "kind-2")).select_by_value("standard")
        Select(driver.find_element(By.ID, "talker-2")).select_by_visible_text("GP")
        Select(driver.find_element(By.ID, "sentence-2")).select_by_visible_text("RMC")
        Select(driver.find_element(By.ID, "field-2")).select_by_value("7")
        # The field list names the fields, and a row warns (never refuses) as plan check does.
        chosen = Select(driver.find_element(By.ID, "field-2")).first_selected_option.text
        assert chosen == "7: speed over ground, knots", chosen
        assert driver.find_element(By.ID, "warning-2").text == "", "RMC field 7 warns"
        Select(driver.find_element(By.ID, "kind-3")).select_by_value("standard")
        Select(driver.find_element(By.ID, "sentence-3")).select_by_visible_text("MWV")
        assert "MWV alternates" in driver.find_element(By.ID, "warning-3").text
        Select(driver.find_element(By.ID, "sentence-3")).select_by_visible_text("DPT")
        Select(driver.find_element(By.ID, "field-3")).select_by_value("10")
        assert "past the last field of DPT" in driver.find_element(By.ID, "warning-3").text
        Select(driver.find_element(By.ID, "field-3")).select_by_value("3")
        assert driver.find_element(By.ID, "warning-3").text == "", "DPT field 3 warns"
        Select(driver.find_element(By.ID, "kind-3")).select_by_value("unused")
        Select(driver.find_element(By.ID, "kind-5")).select_by_value("instrument")
        Select(driver.find_element(By.ID, "instrument-5")).select_by_visible_text("NX20/40 ENGINE RPM")
        driver.find_element(By.ID, "note-2").send_keys("helm speed")
        assert driver.find_element(By.ID, "summary-2").text == "Note: helm speed"

        # Every control a finger meets is at least 44 px high, and labelled.
        small = driver.execute_script("""
            return [...document.querySelectorAll('button, select, input')]
              .filter(e => e.offsetParent !== null)
              .filter(e => { const r = e.getBoundingClientRect(); return r.height < 44 || r.width < 28; })
              .map(e => e.id || e.textContent);""")
        assert not small, f"controls under 44 px: {small}"
        unlabelled = driver.execute_script("""
            return [...document.querySelectorAll('select, input')]
              .filter(e => !(e.labels && e.labels.length)).map(e => e.id);""")
        assert not unlabelled, f"controls without a label: {unlabelled}"

        # Listen is not offered again while the bus view listens.
        driver.find_element(By.ID, "busstart").click()
        wait.until(lambda d: not d.find_element(By.ID, "busstart").is_enabled())
        assert driver.find_element(By.ID, "busstop").is_enabled()
        driver.find_element(By.ID, "busstop").click()
        wait.until(lambda d: d.find_element(By.ID, "busstart").is_enabled())

        # Check answers under its button, with a jump to the row at fault.
        # A control character no keyboard types, put into the note as typing would.
        Select(driver.find_element(By.ID, "kind-3")).select_by_value("instrument")
        type_note = "const n = document.getElementById('note-3'); n.value = arguments[0]; n.dispatchEvent(new Event('input'));"
        driver.execute_script(type_note, "a\u0001b")
        driver.find_element(By.ID, "check").click()
        wait.until(lambda d: d.find_element(By.ID, "checkanswer").text.startswith("1 fault: location 3"))
        driver.find_element(By.CSS_SELECTOR, "#checkanswer button").click()
        assert driver.execute_script("return document.activeElement.closest('.location').id") == "location-3"
        driver.execute_script(type_note, "")
        Select(driver.find_element(By.ID, "kind-3")).select_by_value("unused")
        # The plan outlives a reload of the page.
        driver.refresh()
        wait.until(lambda d: d.find_elements(By.ID, "location-10"))
        assert driver.find_element(By.ID, "note-2").get_attribute("value") == "helm speed"
        assert Select(driver.find_element(By.ID, "kind-5")).first_selected_option.get_attribute("value") == "instrument"
        driver.find_element(By.ID, "check").click()
        wait.until(lambda d: d.find_element(By.ID, "checkanswer").text == "Clean.")
        wait.until(lambda d: "Shows:" in d.find_element(By.ID, "shows-5").text)
        # Use answers under its button too (a bus view as the board sends it).
        driver.execute_script("""mdconfigPage.showBus({listening: true, baud: 4800, rows: [{talker: 'GP', sentence: 'RMC',
            count: 3, listed: true, variants: [{variant: '', text: '', fields: ['1', 'A', '7']}]}]});""")
        driver.find_element(By.CSS_SELECTOR, "#busrows button").click()
        Select(driver.find_element(By.ID, "uselocation")).select_by_value("9")
        driver.find_elements(By.CSS_SELECTOR, "#fieldlist button")[2].click()
        used = driver.find_element(By.CSS_SELECTOR, "#fieldlist .used")
        assert used.text.startswith("Location 9 takes GP RMC field 3."), used.text
        Select(driver.find_element(By.ID, "kind-9")).select_by_value("unused")
        # Saved under a name that says what it is.
        downloads = os.path.join(home, "downloads")
        driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
        driver.find_element(By.ID, "save").click()
        wait.until(lambda d: os.path.exists(os.path.join(downloads, "display.mdplan.toml")))
        # The plan the board checked, and would save, is the plan writer's, with the typed note on its row.
        saved = driver.execute_async_script("mdconfigPage.check().then(d => arguments[0](d.text))")
        assert re.search(r'\[location\.2\]\nnote = "helm speed"\n', saved), saved
        assert saved.count("note =") == 1, saved
        # Ask before each location: the send waits for Continue before location 2 and again before 5.
        driver.find_element(By.ID, "ask").click()
        driver.find_element(By.ID, "sendall").click()
        for location in (2, 5):
            wait.until(lambda d: d.find_element(By.ID, "continue").is_enabled())
            # Worded as the window and the command line ask it.
            prompt = driver.find_element(By.ID, "progresstext").text
            assert prompt == ('Put the display into programming mode (hold UP and DOWN until it shows "rdY"), '
                              f"then press Continue to send location {location}."), prompt
            driver.find_element(By.ID, "continue").click()
            wait.until(lambda d: not d.find_element(By.ID, "continue").is_enabled())
        WebDriverWait(driver, 120).until(
            lambda d: d.find_element(By.ID, "progresstext").text.startswith(("Done", "Stopped", "Failed")))
        text = driver.find_element(By.ID, "progresstext").text
        value = driver.execute_script("const p = document.getElementById('progress'); return [p.value, p.max];")
        driver.execute_script("window.scrollTo(0, document.getElementById('progress').offsetTop - 200)")
        driver.save_screenshot(os.path.join(out_dir, "page-390x844.png"))
        assert text == "Done: sent locations 2, 5.", text
        assert value == [20, 20], value
        for n in (2, 5):
            assert driver.find_element(By.ID, f"status-{n}").text == "Sent.", n
        # A new send clears the statuses; Stop before a location leaves it "not sent", and says "stopped".
        driver.find_element(By.ID, "send-5").click()
        wait.until(lambda d: d.find_element(By.ID, "continue").is_enabled())
        assert driver.find_element(By.ID, "status-2").text == "Not sent."
        assert driver.find_element(By.ID, "status-5").text == "Waiting for Continue."
        driver.find_element(By.ID, "stop").click()
        wait.until(lambda d: d.find_element(By.ID, "progresstext").text.startswith("Stopped: "))
        assert driver.find_element(By.ID, "status-5").text == "Not sent."

        sim.send_signal(signal.SIGINT)
        output, _ = sim.communicate(timeout=60)
        taken = [json.loads(line) for line in output.decode().splitlines() if line.startswith("{")]
        sends = [t for t in taken if "accepted" in t]
        assert [(t["accepted"], t["location"]) for t in sends] == [(True, 2), (True, 5)], sends
        assert sends[0]["shows"] == "GP RMC field 7", sends[0]
        assert sends[1]["instrument"] == "NX20/40 ENGINE RPM", sends[1]
        # A plan file loaded from the phone fills the rows through the plan reader.
        plan_file = os.path.join(home, "helm.toml")
        with open(plan_file, "w") as f:
            f.write('product = 2\n[location.3]\ntalker = "II"\nsentence = "XDR"\nfield = 3\ntype = "C"\n'
                    'icon = "DegC"\n[location.8]\nnote = "engine room"\ninstrument = 11\n')
        # The plan on the page was changed since it was saved: the upload asks first.
        from selenium.webdriver.support import expected_conditions
        driver.find_element(By.ID, "note-5").send_keys("!")
        driver.find_element(By.ID, "load").send_keys(plan_file)
        wait.until(expected_conditions.alert_is_present())
        driver.switch_to.alert.dismiss()
        wait.until(lambda d: d.find_element(By.ID, "filestatus").text == "Not loaded: the plan on the page is kept.")
        assert Select(driver.find_element(By.ID, "kind-2")).first_selected_option.get_attribute("value") == "standard"
        driver.find_element(By.ID, "load").send_keys(plan_file)
        wait.until(expected_conditions.alert_is_present())
        driver.switch_to.alert.accept()
        wait.until(lambda d: d.find_element(By.ID, "filestatus").text == "Loaded helm.toml.")
        assert Select(driver.find_element(By.ID, "kind-2")).first_selected_option.get_attribute("value") == "unused"
        assert Select(driver.find_element(By.ID, "sentence-3")).first_selected_option.text == "XDR"
        assert Select(driver.find_element(By.ID, "type-3")).first_selected_option.text.startswith("C ")
        assert Select(driver.find_element(By.ID, "icon-3")).first_selected_option.text == "DegC"
        assert Select(driver.find_element(By.ID, "kind-8")).first_selected_option.get_attribute("value") == "instrument"
        assert driver.find_element(By.ID, "note-8").get_attribute("value") == "engine room"
        assert driver.find_element(By.ID, "summary-8").text == "Note: engine room"
        assert driver.find_element(By.ID, "note-2").get_attribute("value") == ""

        # Each command is logged with the address it came from.
        serve.send_signal(signal.SIGTERM)
        _, log = serve.communicate(timeout=60)
        log = log.decode()
        assert "POST /api/send from 127.0.0.1: 202" in log, log
        assert log.count("POST /api/continue from 127.0.0.1: 200") == 2, log

        # The board comes back after an answer other than 200 (another program on its port for a moment),
        # and "Connected" follows its adapter, here one that is not there at first.
        with socket.socket() as stand_in:
            stand_in.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            stand_in.bind(("127.0.0.1", port))
            stand_in.listen(8)
            stand_in.settimeout(30)
            while True:
                peer, _ = stand_in.accept()
                with peer:
                    asked = peer.recv(4096)
                    peer.sendall(b"HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                if asked.startswith(b"GET /api/events"):
                    break
        adapter = os.path.join(home, "adapter")
        serve = subprocess.Popen([cli, "serve", "--listen", f"127.0.0.1:{port}", "--device", adapter, "--no-qr",
                                  "--seconds", "120"], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        procs.append(serve)
        WebDriverWait(driver, 60).until(lambda d: "is missing" in d.find_element(By.ID, "connection").text)
        os.symlink("/dev/null", adapter)  # plugged in (the simulated display has ended)
        connected = f"Connected to the board and its adapter {adapter}."
        try:
            WebDriverWait(driver, 30).until(lambda d: d.find_element(By.ID, "connection").text == connected)
        except Exception:
            raise AssertionError(driver.find_element(By.ID, "connection").text)
        print(f"ok: the page sent locations 2 and 5 at 390x844; first load {first} bytes; "
              f"screenshot in {out_dir}/page-390x844.png")
    finally:
        if driver:
            driver.quit()
        for p in procs:
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The page on its own (mdconfig-page.html, written by `mdconfig-cli page`) opened from disk in a real headless
Chromium at 1366x768, with a fake navigator.serial put in before the page loads that records each write
with its time: connect, build two locations, send, Stop, resume from the stopped location; the recorded bytes
are those `mdconfig-cli frames` gives, no byte comes before its slot, a hidden page stops a send after the
byte on the wire, an unplugged adapter is said, and a browser without Web Serial is told what to use. The
page loads nothing. Prints "skipped" and exits 77 only where the browser cannot run.

Usage: test_standalone.py MDCONFIG_CLI OUTPUT_DIR"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing written beside the sources
from browser import start_browser

HERE = os.path.dirname(os.path.abspath(__file__))


def frames(cli, *args):
    out = subprocess.run([cli, "frames", *args], check=True, capture_output=True, text=True).stdout
    return [int(h, 16) for line in out.split("\n") if line for h in line.split()]


def start_page_browser(home, width=1366, height=768):
    """The browser with the fake Web Serial put in before every page loads."""
    driver = start_browser(home, width, height)
    with open(os.path.join(HERE, "fakeserial.js")) as f:
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": f.read()})
    return driver


def open_page(driver, path, fragment=""):
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
    driver.get("about:blank")  # a new document, not a jump within the old one
    driver.get("file://" + path + fragment)
    WebDriverWait(driver, 60).until(lambda d: d.find_elements(By.ID, "location-10"))


def writes(driver):
    return driver.execute_script("return window.fakeSerial.writes")


def main():
    cli, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    home = tempfile.mkdtemp(prefix="mdconfig-standalone-")
    page = os.path.join(home, "mdconfig-page.html")
    subprocess.run([cli, "page", "--output", page], check=True)
    html = open(page, encoding="utf-8").read()
    assert '<meta http-equiv="Content-Security-Policy"' in html and "connect-src 'none'" in html
    assert "src=" not in html.split("<script>")[0].split("<body>")[1], "the page loads a script of its own"

    driver = start_page_browser(home)
    try:
        from selenium.webdriver.common.by import By
        from selenium.webdriver.support.ui import Select, WebDriverWait
        wait = WebDriverWait(driver, 60)
        text = lambda id_: driver.find_element(By.ID, id_).text
        open_page(driver, page)
        assert driver.execute_script("return window.innerWidth") == 1366
        assert "Connect adapter" in text("connect")
        assert "No adapter is connected" in text("connection"), text("connection")
        assert not driver.find_element(By.ID, "bus-section").is_displayed()

        driver.find_element(By.ID, "connect").click()
        wait.until(lambda d: text("connection").startswith("Connected: USB adapter 0403:6001 (chosen)"))
        options = driver.execute_script("return window.fakeSerial.options")
        assert (options["baudRate"], options["dataBits"], options["parity"], options["stopBits"]) == (4800, 8, "none", 1)

        Select(driver.find_element(By.ID, "product")).select_by_value("0")
        Select(driver.find_element(By.ID, "kind-2")).select_by_value("standard")
        Select(driver.find_element(By.ID, "talker-2")).select_by_visible_text("GP")
        Select(driver.find_element(By.ID, "sentence-2")).select_by_visible_text("RMC")
        Select(driver.find_element(By.ID, "field-2")).select_by_value("7")
        Select(driver.find_element(By.ID, "kind-5")).select_by_value("instrument")
        Select(driver.find_element(By.ID, "instrument-5")).select_by_visible_text("NX20/40 ENGINE RPM")
        driver.find_element(By.ID, "check").click()
        wait.until(lambda d: text("shows-2") == "Shows: GP RMC field 7")
        assert text("checkanswer") == "Clean."
        assert Select(driver.find_element(By.ID, "field-2")).first_selected_option.text.startswith("7: ")
        two = frames(cli, "standard", "--talker", "GP", "--sentence", "RMC", "--field", "7", "--memory", "2",
                     "--product", "0")
        five = frames(cli, "proprietary", "--instrument", "NX20/40 ENGINE RPM", "--memory", "5", "--product", "0")

        # Send all; Stop while location 5 goes out; resume from it.
        driver.find_element(By.ID, "sendall").click()
        wait.until(lambda d: len(writes(d)) >= 130)
        driver.find_element(By.ID, "stop").click()
        wait.until(lambda d: text("progresstext").startswith("Stopped:"))
        stopped = len(writes(driver))
        assert 130 <= stopped < 200, stopped
        assert f"interrupted after {stopped - 100} of 100 bytes of location 5" in text("progresstext"), text("progresstext")
        assert text("status-2") == "Sent."
        assert text("status-5").startswith("Stopped: interrupted after"), text("status-5")
        assert Select(driver.find_element(By.ID, "from")).first_selected_option.text == "5"
        driver.find_element(By.ID, "resume").click()
        wait.until(lambda d: text("progresstext") == "Done: sent locations 5.")
        got = writes(driver)
        data = [b for b, _ in got]
        assert data[:100] == two, "location 2's bytes differ from mdconfig-cli frames"
        assert data[100:stopped] == five[:stopped - 100]
        assert data[stopped:] == five, "location 5's bytes differ from mdconfig-cli frames"
        # No byte before its slot; 100 ms before each repetition.
        times = [t for _, t in got]
        starts = set(range(10, 100, 10)) | set(range(110, stopped, 10)) | set(range(stopped + 10, stopped + 100, 10))
        for i in range(1, len(times)):
            gap = times[i] - times[i - 1]
            assert gap >= 49.5, f"byte {i} came {gap:.1f} ms after the one before"
            if i in starts:
                assert gap >= 149.5, f"the repetition starting at byte {i} came after {gap:.1f} ms"

        # Hidden in the middle of a send: it stops after the byte on the wire and says so.
        before = len(writes(driver))
        driver.find_element(By.ID, "send-2").click()
        wait.until(lambda d: len(writes(d)) >= before + 23)
        driver.execute_script("window.fakeSerial.hide()")
        wait.until(lambda d: text("progresstext").startswith("Stopped:"))
        sent = len(writes(driver)) - before
        time.sleep(0.5)
        assert len(writes(driver)) - before == sent, "bytes went out after the page was hidden"
        assert f"stopped after {sent} of 100 bytes: keep this page in front while it sends" in text("progresstext"), text("progresstext")
        driver.execute_script("window.fakeSerial.show()")

        # Unplugged: said in words, and a send is refused with the reason.
        driver.execute_script("window.fakeSerial.unplug()")
        wait.until(lambda d: "The adapter was unplugged" in text("connection"))
        driver.find_element(By.ID, "sendall").click()
        wait.until(lambda d: "no adapter is connected" in text("progresstext").lower())
        driver.save_screenshot(os.path.join(out_dir, "standalone-1366x768.png"))

        # Nothing was fetched: the page is one file.
        resources = driver.execute_script("return performance.getEntriesByType('resource').length")
        assert resources == 0, f"the page fetched {resources} resources"

        # A browser without Web Serial: told what to use, and planning still works.
        open_page(driver, page, "#noserial")
        assert "Chrome or Edge" in text("noserial"), text("noserial")
        assert not driver.find_element(By.ID, "connect").is_enabled()
        Select(driver.find_element(By.ID, "kind-1")).select_by_value("instrument")
        driver.find_element(By.ID, "check").click()
        wait.until(lambda d: text("shows-1").startswith("Shows: WX20/40"))
        logs = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
        assert not logs, logs
        print("standalone page: connect, send, stop, resume, hidden, unplugged and no Web Serial as they should be")
    finally:
        driver.quit()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()

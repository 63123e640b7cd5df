#!/usr/bin/env python3
"""The byte spacing of a send through the page on its own (mdconfig-page.html in headless Chromium, a fake
Web Serial port recording each write with the page's clock) beside `mdconfig-cli send` into a pseudo-terminal
read here, in the same run: median and largest spacing between the bytes of a repetition. The goal on a quiet
machine: median 50 +/- 1 ms, largest under 60 ms. Not a test: it prints figures.

Usage: bench_laptop_page.py MDCONFIG_CLI"""
import os
import select
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import test_standalone as page  # noqa: E402  the browser set-up and the fake port

OPTIONS = ["standard", "--talker", "GP", "--sentence", "RMC", "--field", "5", "--memory", "1", "--product", "0"]


def spacing(times, length=10):
    """Gaps between bytes of one repetition, in ms; the pauses between repetitions are left out."""
    return [times[i] - times[i - 1] for i in range(1, len(times)) if i % length != 0]


def report(name, gaps):
    print(f"{name:<28} median {statistics.median(gaps):6.2f} ms   largest {max(gaps):6.2f} ms   ({len(gaps)} gaps)")


def through_page(cli, home):
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
    path = os.path.join(home, "mdconfig-page.html")
    subprocess.run([cli, "page", "--output", path], check=True, stdout=subprocess.DEVNULL)
    driver = page.start_browser(home)
    try:
        page.open_page(driver, path)
        driver.find_element(By.ID, "connect").click()
        wait = WebDriverWait(driver, 60)
        wait.until(lambda d: d.find_element(By.ID, "connection").text.startswith("Connected"))
        Select(driver.find_element(By.ID, "product")).select_by_value("0")
        Select(driver.find_element(By.ID, "kind-1")).select_by_value("standard")
        Select(driver.find_element(By.ID, "field-1")).select_by_value("5")
        driver.find_element(By.ID, "send-1").click()
        wait.until(lambda d: d.find_element(By.ID, "progresstext").text.startswith(("Done", "Stopped")))
        return [t for _, t in page.writes(driver)]
    finally:
        driver.quit()


def through_cli(cli):
    master, slave = os.openpty()
    device = os.ttyname(slave)
    times = []

    def read():
        end = time.monotonic() + 30
        while len(times) < 100 and time.monotonic() < end:
            if select.select([master], [], [], 0.5)[0]:
                now = time.monotonic() * 1000
                times.extend([now] * len(os.read(master, 64)))

    reader = threading.Thread(target=read)
    reader.start()
    subprocess.run([cli, "send", *OPTIONS, "--device", device], check=True, stdout=subprocess.DEVNULL)
    reader.join()
    os.close(master)
    os.close(slave)
    return times


def main():
    cli = sys.argv[1]
    home = tempfile.mkdtemp(prefix="mdconfig-bench-")
    report("page on its own (Web Serial)", spacing(through_page(cli, home)))
    report("mdconfig-cli send", spacing(through_cli(cli)))


if __name__ == "__main__":
    main()

"""A real headless Chromium for the page's tests, started the one way both use: Debian's chromium and
chromium-driver, nothing of the network but what a test allows, and its profile in the test's own home.
Exits 77 ("skipped") only where the browser cannot run."""
import shutil
import sys

SKIP = 77


def skip(why):
    print(f"skipped: {why}")
    sys.exit(SKIP)


def start_browser(home, width, height, allow=None, phone=False):
    """The driver of a browser with a window of width x height. allow: the one host it may reach (the page's
    server); phone: a phone's screen (touch, twice the pixels)."""
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        skip("python3-selenium is not installed")
    browser = shutil.which("chromium")
    driver_path = shutil.which("chromedriver")
    if not browser or not driver_path:
        skip("chromium or chromium-driver is not installed")
    rules = "MAP * ~NOTFOUND" + (f" , EXCLUDE {allow}" if allow else "")
    options = webdriver.ChromeOptions()
    options.binary_location = browser
    for a in ("--headless=new", "--no-sandbox", "--disable-gpu", f"--window-size={width},{height}",
              "--disable-background-networking", "--disable-component-update", "--disable-sync",
              "--disable-default-apps", "--no-first-run", "--disable-extensions",
              f"--host-resolver-rules={rules}", f"--user-data-dir={home}/chrome"):
        options.add_argument(a)
    if phone:
        options.add_experimental_option("mobileEmulation",
                                        {"deviceMetrics": {"width": width, "height": height, "pixelRatio": 2.0}})
    try:
        return webdriver.Chrome(service=Service(driver_path), options=options)
    except Exception as e:  # the browser cannot start here (no /dev/shm, a broken install, ...)
        skip(f"chromium cannot run here: {str(e).splitlines()[0]}")

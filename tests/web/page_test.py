#!/usr/bin/python3
"""The page in Debian's headless Chromium, driven as a person would with the keyboard.

    tests/web/page_test.py                    the tests (make test-web)
    tests/web/page_test.py --screenshots DIR  web-en.png, web-de.png, web-phone.png

Each sheet is chosen, steps and spelling are set with the keys, transpose is pressed, and the
download is compared byte for byte with melvane-cli's output for the same file and settings;
hostile and Word files must give melvane-cli's message and no download. Opened from disk and
once from a server on 127.0.0.1, the page may ask for nothing but its own files; served, it
goes on working offline from its service worker.
"""

import argparse
import importlib.machinery
import importlib.util
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zipfile

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PAGE_DIR = os.path.join(ROOT, "build", "web")
CLI = os.path.join(ROOT, "build", "linux", "bin", "melvane-cli")


def start_browser(download_dir, width=800, height=720, scale=1, mobile=False):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-default-apps", "--disable-sync", "--disable-extensions",
                     "--metrics-recording-only", "--no-default-browser-check",
                     "--disable-dev-shm-usage", f"--window-size={width},{height}",
                     f"--force-device-scale-factor={scale}", "--lang=en-US"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {
        "download.default_directory": download_dir,
        "download.prompt_for_download": False,
        "safebrowsing.enabled": False,
    })
    options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    service = webdriver.ChromeService("/usr/bin/chromedriver") if hasattr(
        webdriver, "ChromeService") else webdriver.chrome.service.Service("/usr/bin/chromedriver")
    driver = webdriver.Chrome(options=options, service=service)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": download_dir})
    if mobile:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": scale, "mobile": True})
    return driver


def open_page(driver, url):
    driver.get(url)
    deadline = time.time() + 10
    while not driver.execute_script("return document.body.classList.contains('ready')"):
        if time.time() > deadline:
            raise AssertionError("the page did not get ready")
        time.sleep(0.02)


def requested_urls(driver):
    """Every address the browser asked for since the last call (its performance log)."""
    urls = []
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] == "Network.requestWillBeSent":
            urls.append(message["params"]["request"]["url"])
    return urls


def hostile_package(path):
    """An OpenDocument package with an entry that climbs out of any folder it is unpacked to."""
    with zipfile.ZipFile(path, "w") as package:
        package.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.text")
        package.writestr("content.xml", "<office:document-content/>")
        package.writestr("../../escaped.txt", "out")


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="melvane-page-")
        cls.downloads = os.path.join(cls.work, "downloads")
        cls.sheets = os.path.join(cls.work, "sheets")
        os.makedirs(cls.downloads)
        os.makedirs(cls.sheets)
        for name in ("leuchtturm.odt", "abendlied.docx", "lullaby.txt"):
            shutil.copy(os.path.join(ROOT, "examples", name), cls.sheets)
        with open(os.path.join(cls.sheets, "evening.cho"), "w", encoding="utf-8") as f:
            f.write("{title: Evening}\n{key: G}\n[G]Now the [Em]day is [C]o-[D7]ver\n")
        hostile_package(os.path.join(cls.sheets, "hostile.odt"))
        with open(os.path.join(cls.sheets, "hymn.doc"), "wb") as f:
            f.write(b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1" + bytes(504))
        cls.driver = start_browser(cls.downloads)
        cls.page_url = "file://" + os.path.join(PAGE_DIR, "index.html")
        open_page(cls.driver, cls.page_url)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.work, ignore_errors=True)

    def element(self, element_id):
        return self.driver.find_element(By.ID, element_id)

    def cli(self, sheet, steps, flats, language, output):
        command = [CLI, "--steps", str(steps), "--lang", language, "-o", output, sheet]
        if flats:
            command.insert(3, "--flats")
        # From the sheet's folder, so that messages name the file as the page does.
        return subprocess.run(command, cwd=self.sheets, capture_output=True, text=True)

    def set_language(self, language):
        checked = self.element("lang-de" if language == "en" else "lang-en")
        if self.driver.find_element(By.ID, f"lang-{language}").is_selected():
            return
        checked.send_keys(Keys.ARROW_RIGHT if language == "en" else Keys.ARROW_LEFT)
        self.assertEqual(self.driver.execute_script("return document.documentElement.lang"),
                         language)

    def transpose_in_page(self, name, steps, flats, output_name=None):
        self.element("file").send_keys(os.path.join(self.sheets, name))
        field = self.element("steps")
        field.send_keys(Keys.CONTROL, "a")
        if steps > 0:
            field.send_keys(*([Keys.ARROW_UP] * steps))  # the arrows, as in the window
        else:
            field.send_keys(str(steps))  # typed
        field.send_keys(Keys.TAB)  # to the spelling choice
        if flats:  # by key is the default, flat the choice above it
            self.driver.switch_to.active_element.send_keys(Keys.ARROW_UP)
        self.driver.switch_to.active_element.send_keys(Keys.TAB)  # to the output name
        if output_name is not None:
            active = self.driver.switch_to.active_element
            active.send_keys(Keys.CONTROL, "a")
            active.send_keys(output_name)
        proposed = self.element("output").get_attribute("value")
        self.driver.switch_to.active_element.send_keys(Keys.TAB)  # to the button
        self.assertEqual(self.driver.switch_to.active_element.get_attribute("id"), "transpose")
        self.driver.switch_to.active_element.send_keys(Keys.ENTER)
        return proposed

    def wait_for_download(self, name):
        path = os.path.join(self.downloads, name)
        deadline = time.time() + 10
        while not os.path.exists(path) or any(
                f.endswith(".crdownload") for f in os.listdir(self.downloads)):
            if time.time() > deadline:
                self.fail(f"no download {name}; the page says: "
                          + self.element("feedback").text)
            time.sleep(0.05)
        return path

    def test_sheets_transposed_as_melvane_cli_does(self):
        # sheet, steps, flats, face, typed output name, the name the download gets
        cases = [
            ("leuchtturm.odt", 3, False, "en", None, "leuchtturm+3.odt"),
            ("abendlied.docx", -2, True, "en", "Abendlied in C", "Abendlied in C.docx"),
            ("lullaby.txt", 5, True, "de", None, "lullaby+5.txt"),
            ("evening.cho", 1, True, "en", None, "evening+1.cho"),
        ]
        for name, steps, flats, language, typed, download in cases:
            with self.subTest(sheet=name):
                self.set_language(language)
                self.transpose_in_page(name, steps, flats, typed)
                got = self.wait_for_download(download)
                expected = os.path.join(self.work, "cli-" + download)
                run = self.cli(name, steps, flats, language, expected)
                self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
                with open(got, "rb") as a, open(expected, "rb") as b:
                    self.assertTrue(a.read() == b.read(), f"{download} differs from melvane-cli's")
                # The line names what changed, as melvane-cli's line does after the names.
                self.assertIn(run.stdout.split(": ", 1)[1].strip(), self.element("status").text)
                # The form is cleared for the next sheet, as the window's is.
                self.assertEqual(self.element("output").get_attribute("value"), "")
        self.set_language("en")

    def test_refused_sheets_give_the_command_lines_message_and_no_download(self):
        for name, steps in (("hostile.odt", 2), ("hymn.doc", 1)):
            with self.subTest(sheet=name):
                before = set(os.listdir(self.downloads))
                proposed = self.transpose_in_page(name, steps, False)
                run = self.cli(name, steps, False, "en", os.path.join(self.work, proposed))
                self.assertNotEqual(run.returncode, 0)
                # The box the window would show (melvane-cli's stderr), or for Word the reason
                # in melvane-cli's line.
                said = run.stderr.split(": ", 1)[1] if run.stderr else run.stdout.split(": ", 1)[1]
                alert = self.element("alert-text").text
                self.assertEqual(" ".join(alert.split()), " ".join(said.split()))
                time.sleep(0.3)
                self.assertEqual(set(os.listdir(self.downloads)), before)
                self.driver.switch_to.active_element.send_keys(Keys.ESCAPE)

    def test_a_file_over_the_cap_is_refused_before_it_is_read(self):
        huge = os.path.join(self.sheets, "huge.txt")
        with open(huge, "wb") as f:
            f.truncate((256 << 20) + 1)  # sparse: nothing is written, and the page reads nothing
        self.element("file").send_keys(huge)
        run = self.cli("huge.txt", 1, False, "en", os.path.join(self.work, "huge+1.txt"))
        self.assertEqual(" ".join(self.element("alert-text").text.split()),
                         " ".join(run.stderr.split(": ", 1)[1].split()))
        self.assertEqual(self.element("output").get_attribute("value"), "")  # nothing chosen

    def test_zz_own_files_only_and_offline_once_installed(self):
        # From disk: every request of the whole run (the test methods run in name order).
        own = "file://" + PAGE_DIR + "/"
        for url in requested_urls(self.driver):
            self.assertTrue(url.startswith((own, "data:", "blob:")), url)
        # Nor did the page try anything its Content-Security-Policy refuses (nor fail otherwise).
        self.assertEqual([e["message"] for e in self.driver.get_log("browser")
                          if e["level"] == "SEVERE"], [])
        # Served: the page installs its service worker, and still asks only its own server.
        loader = importlib.machinery.SourceFileLoader(
            "serve_web", os.path.join(ROOT, "scripts", "serve-web"))
        serve = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
        loader.exec_module(serve)
        started = threading.Event()
        holder = {}

        def ready(server):
            holder["server"] = server
            started.set()

        threading.Thread(target=serve.serve, args=(PAGE_DIR, ready), daemon=True).start()
        started.wait(5)
        server = holder["server"]
        origin = f"http://127.0.0.1:{server.server_address[1]}/"
        try:
            open_page(self.driver, origin + "index.html")
            registered = self.driver.execute_async_script(
                "const done = arguments[0];"
                "navigator.serviceWorker.ready.then(r => done(r.active !== null));"
                "setTimeout(() => done(false), 5000);")
            self.assertTrue(registered)
            for url in requested_urls(self.driver):
                self.assertTrue(url.startswith((origin, "data:", "blob:")), url)
            self.assertEqual([e["message"] for e in self.driver.get_log("browser")
                              if e["level"] == "SEVERE"], [])
            # Offline: with the server gone the page still opens, from the worker's cache.
            server.shutdown()
            server.server_close()
            open_page(self.driver, origin + "index.html")
        finally:
            server.shutdown()


def screenshots(folder):
    os.makedirs(folder, exist_ok=True)
    url = "file://" + os.path.join(PAGE_DIR, "index.html")
    with tempfile.TemporaryDirectory() as downloads:
        sheet = os.path.join(downloads, "Der Leuchtturm.odt")
        shutil.copy(os.path.join(ROOT, "examples", "leuchtturm.odt"), sheet)
        for name, language, width, height, scale, mobile in (
                ("web-en.png", "en", 600, 430, 1, False),
                ("web-de.png", "de", 600, 430, 1, False),
                ("web-phone.png", "en", 390, 844, 3, True)):
            driver = start_browser(downloads, width, height, scale, mobile)
            try:
                if not mobile:
                    driver.set_window_rect(width=width, height=height)
                    inner = driver.execute_script(
                        "return [window.outerWidth - window.innerWidth,"
                        " window.outerHeight - window.innerHeight]")
                    driver.set_window_rect(width=width + inner[0], height=height + inner[1])
                open_page(driver, url)
                if language == "de":
                    driver.find_element(By.ID, "lang-en").send_keys(Keys.ARROW_LEFT)
                    driver.find_element(By.ID, "file").send_keys(sheet)
                    steps = driver.find_element(By.ID, "steps")
                    steps.send_keys(Keys.CONTROL, "a")
                    steps.send_keys("3")
                driver.save_screenshot(os.path.join(folder, name))
            finally:
                driver.quit()


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--screenshots", metavar="DIR")
    arguments, rest = parser.parse_known_args()
    if arguments.screenshots:
        screenshots(arguments.screenshots)
    else:
        unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)

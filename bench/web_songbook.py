#!/usr/bin/python3
"""The page beside the native program: the 900-song .docx songbook (bench/docx_bench.cpp makes
it) transposed in headless Chromium and by melvane-cli, best of five each; the time from opening
the page to a usable form; the size of the page's script.

    make bench-web
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "web"))
from page_test import PAGE_DIR, start_browser, open_page  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

RUNS = 5


def main():
    work = tempfile.mkdtemp(prefix="melvane-bench-")
    try:
        book = os.path.join(work, "songbook.docx")
        subprocess.run([os.path.join(ROOT, "build", "linux", "bin", "docx_bench"),
                        "--write-songbook", book], check=True)
        cli = os.path.join(ROOT, "build", "linux", "bin", "melvane-cli")
        native = []
        for _ in range(RUNS):
            started = time.perf_counter()
            subprocess.run([cli, "--steps", "2", "-o", os.path.join(work, "cli.docx"), book],
                           check=True, capture_output=True)
            native.append(time.perf_counter() - started)

        downloads = os.path.join(work, "downloads")
        os.makedirs(downloads)
        driver = start_browser(downloads)
        url = "file://" + os.path.join(PAGE_DIR, "index.html")
        ready, page = [], []
        try:
            for run in range(RUNS):
                open_page(driver, url)
                ready.append(driver.execute_script(
                    "return performance.getEntriesByName('melvane-ready')[0].startTime") / 1000)
                driver.find_element(By.ID, "file").send_keys(book)
                driver.find_element(By.ID, "steps").send_keys("\ue013\ue013")  # Up twice
                driver.find_element(By.ID, "transpose").click()
                deadline = time.time() + 120
                while not driver.execute_script(
                        "return performance.getEntriesByName('melvane-transpose').length"):
                    if time.time() > deadline:
                        raise SystemExit("the page did not finish: "
                                         + driver.find_element(By.ID, "feedback").text)
                    time.sleep(0.01)
                page.append(driver.execute_script(
                    "return performance.getEntriesByName('melvane-transpose')[0].duration") / 1000)
        finally:
            driver.quit()
        script = os.path.getsize(os.path.join(PAGE_DIR, "melvane.js"))
        html = os.path.getsize(os.path.join(PAGE_DIR, "index.html"))
        print(f"songbook ({os.path.getsize(book) / 1e6:.2f} MB, 900 songs), best of {RUNS}:")
        print(f"  melvane-cli (process, native)  {min(native) * 1000:8.1f} ms")
        print(f"  page (read, transpose, offer)  {min(page) * 1000:8.1f} ms"
              f"   {min(page) / min(native):.2f}x native (target <= 3x)")
        print(f"page ready after opening         {min(ready) * 1000:8.1f} ms"
              f"   (slowest {max(ready) * 1000:.1f} ms; target <= 1000 ms)")
        print(f"script with the WebAssembly      {script / 1e6:8.2f} MB   (target <= 1.5 MB);"
              f" index.html with the pictures {html / 1e6:.2f} MB")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

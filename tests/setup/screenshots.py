#!/usr/bin/env python3
"""Screenshots of a running test site with Debian's headless Chromium (through chromedriver).
   screenshots.py PORT COOKIE_VALUE OUTDIR NAME=PATH [NAME=PATH ...]
The login page is taken without the cookie; every other NAME=PATH with the "U" cookie of a logged-in
user. Each picture is OUTDIR/NAME.png, 1200 by 900. Exits non-zero when a page could not be taken."""

import os
import sys

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service


def main():
    port, cookie, outdir = sys.argv[1], sys.argv[2], sys.argv[3]
    os.makedirs(outdir, exist_ok=True)
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless", "--no-sandbox", "--disable-gpu", "--window-size=1200,900"):
        options.add_argument(arg)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        base = "http://127.0.0.1:%s" % port
        driver.get(base + "/main")
        driver.save_screenshot(os.path.join(outdir, "login.png"))
        driver.add_cookie({"name": "U", "value": cookie, "path": "/"})
        for spec in sys.argv[4:]:
            name, path = spec.split("=", 1)
            driver.get(base + path)
            if not driver.save_screenshot(os.path.join(outdir, name + ".png")):
                return 1
    finally:
        driver.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())

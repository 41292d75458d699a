"""Headless Chromium driven through WebDriver, for the web page's tests and
its speed figures: Debian's chromium, chromium-driver and python3-selenium."""

import base64
import shutil
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common import utils

# No network here: Chromium's background services are switched off, and
# WebGL runs on its software renderer.
FLAGS = [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-quic", "--disable-extensions", "--enable-unsafe-swiftshader",
    "--window-size=900,1000", "--remote-debugging-pipe",
]


class LoopbackService(Service):
    """The driver reached at 127.0.0.1: a minimal system may have no
    /etc/hosts, and then "localhost", which Selenium uses, names nothing."""

    @property
    def service_url(self):
        return "http://127.0.0.1:%d" % self.port

    def is_connectable(self):
        return utils.is_connectable(self.port, host="127.0.0.1")


class Browser:
    """One Chromium with a private profile; extra flags, for example to
    switch WebGL off, are added to the usual ones."""

    def __init__(self, extra_flags=()):
        self.profile = tempfile.mkdtemp(prefix="patchview-chromium-")
        options = Options()
        for flag in FLAGS + list(extra_flags) + ["--user-data-dir=" + self.profile]:
            options.add_argument(flag)
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        driver = shutil.which("chromedriver") or "/usr/bin/chromedriver"
        self.driver = webdriver.Chrome(service=LoopbackService(driver), options=options)

    def close(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def run(self, script, *args):
        return self.driver.execute_script(script, *args)

    def errors(self):
        """The page's uncaught exceptions and errors logged since the last call."""
        return [e["message"] for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]

    def canvas_png(self):
        """The canvas's pixels as PNG bytes (a still frame keeps its buffer)."""
        url = self.run("return document.getElementById('view').toDataURL('image/png');")
        return base64.b64decode(url.split(",", 1)[1])

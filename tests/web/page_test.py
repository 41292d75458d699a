#!/usr/bin/env python3
"""The web page as a user meets it, in headless Chromium: the console
dialogue, Escape, still frames against the recorder's same frames, a browser
without WebGL and bad links.

usage: page_test.py PATCHVIEW_HTML PATCHVIEW_RECORD"""

import operator
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

MENU = "\nEnter choice \n1. Ferguson Patches\n2. My Patch\n"
COMPUTING = "\n Computing Data............................\n"
# A still frame may differ from the recorder's where a triangle edge falls
# differently: this much at most.
MEAN_ERROR_LIMIT = 0.1  # % of full scale
PIXELS_OFF_LIMIT = 1.0  # % of the pixels off by more than 2 levels

PAGE = None      # file:// address of the page, alone in an empty folder
RECORDER = None
FRAMES = None    # folder of the recorder's frames


def setUpModule():
    global PAGE, FRAMES
    folder = tempfile.mkdtemp(prefix="patchview-page-")
    shutil.copy(sys.argv[1], folder)
    PAGE = "file://" + os.path.join(folder, "patchview.html")
    FRAMES = tempfile.mkdtemp(prefix="patchview-frames-")
    for key in "12":
        for size, frames in (("600x600", 24), ("320x200", 6)):
            out = os.path.join(FRAMES, size)
            subprocess.run([RECORDER, "--frames", str(frames), "--size", size, "--png-frames",
                            "--out", out], input=key.encode(), check=True,
                           stdout=subprocess.DEVNULL)


def rgb(png):
    """Width, height and RGB bytes of a PNG, through ImageMagick."""
    ppm = subprocess.run(["convert", "png:-", "-alpha", "off", "-depth", "8", "ppm:-"],
                         input=png, stdout=subprocess.PIPE, check=True).stdout
    fields = ppm.split(maxsplit=4)
    assert fields[0] == b"P6" and fields[3] == b"255", fields[:4]
    width, height = int(fields[1]), int(fields[2])
    return width, height, fields[4][: 3 * width * height]


def difference(a, b):
    """Mean error in % of full scale, and % of pixels off by more than 2 levels."""
    wa, ha, pa = rgb(a)
    wb, hb, pb = rgb(b)
    assert (wa, ha) == (wb, hb), ((wa, ha), (wb, hb))
    d = list(map(abs, map(operator.sub, pa, pb)))
    off = sum(1 for n in range(0, len(d), 3) if d[n] > 2 or d[n + 1] > 2 or d[n + 2] > 2)
    return 100.0 * sum(d) / (255 * len(d)), 100.0 * off / (wa * ha)


class Page(unittest.TestCase):
    def setUp(self):
        self.browser = Browser()
        self.addCleanup(self.browser.close)

    def open(self, query=""):
        self.browser.driver.get(PAGE + query)
        self.wait(lambda: self.browser.run("return document.readyState") == "complete")

    def wait(self, condition, seconds=30, what="the page"):
        end = time.time() + seconds
        while time.time() < end:
            if condition():
                return
            time.sleep(0.05)
        self.fail("waited in vain for " + what)

    def console(self):
        return self.browser.run("return document.getElementById('console').textContent")

    def canvas(self, name):
        return self.browser.run(
            "const c = document.getElementById('view'); return c.hidden ? null : c.getAttribute(arguments[0]);",
            name)

    def frames(self):
        return int(self.canvas("data-frames") or 0)

    def message(self):
        return self.browser.run(
            "const m = document.getElementById('message'); return m.hidden ? '' : m.textContent")

    def press(self, key):
        ActionChains(self.browser.driver).send_keys(key).perform()

    def viewing(self, title):
        self.wait(lambda: self.browser.driver.title == title and self.frames() >= 2,
                  what=title + " drawing")
        self.assertEqual(self.console(), MENU + COMPUTING)
        self.assertEqual((self.canvas("width"), self.canvas("height")), ("600", "600"))

    def back_at_menu(self):
        self.wait(lambda: self.canvas("data-frames") is None, what="the menu after Escape")
        self.assertEqual(self.console(), MENU)
        self.assertEqual(self.browser.driver.title, "patchview")


class Dialogue(Page):
    def test_keys_clicks_and_escape(self):
        self.open()
        self.assertEqual(self.console(), MENU)
        self.assertEqual(self.message(), "")
        self.assertIsNone(self.canvas("data-frames"))

        self.press("1")
        self.viewing("Ferguson Patches")
        # The eye orbits on, another key redraws and Escape ends the view.
        before = self.frames()
        self.press("a")
        self.wait(lambda: self.frames() > before + 2, what="more frames")
        self.assertEqual(self.browser.driver.title, "Ferguson Patches")
        self.wait(lambda: self.canvas("data-work-ms") is not None, what="the work figure")
        self.assertGreater(float(self.canvas("data-work-ms")), 0.0)
        self.press("\ue00c")  # Escape
        self.back_at_menu()
        time.sleep(0.3)
        self.assertIsNone(self.canvas("data-frames"), "drawing stopped")

        # Any other key than 1, Escape included, is the cubic strips.
        self.press("\ue00c")
        self.viewing("Cubic Patches")
        self.press("\ue00c")
        self.back_at_menu()

        # The menu lines can be clicked or tapped.
        entries = self.browser.driver.find_elements(By.CSS_SELECTOR, "#console [role=button]")
        self.assertEqual([e.text for e in entries], ["1. Ferguson Patches", "2. My Patch"])
        entries[0].click()
        self.viewing("Ferguson Patches")
        self.assertEqual(self.browser.errors(), [])


class StillFrames(Page):
    def check(self, key, frame, size):
        self.open("?key=%s&frame=%d&size=%s" % (key, frame, size))
        self.wait(lambda: self.frames() == 1, what="frame %d of key %s" % (frame, key))
        title = "Ferguson Patches" if key == "1" else "Cubic Patches"
        self.assertEqual(self.browser.driver.title, title)
        width, height = size.split("x")
        self.assertEqual((self.canvas("width"), self.canvas("height")), (width, height))
        mode = "ferguson" if key == "1" else "cubic"
        with open(os.path.join(FRAMES, size, "patchview-%s-%03d.png" % (mode, frame)), "rb") as f:
            recorded = f.read()
        mean, off = difference(self.browser.canvas_png(), recorded)
        print("  key %s frame %2d at %s: mean error %.4f %%, %.3f %% of pixels off by more "
              "than 2 levels" % (key, frame, size, mean, off))
        self.assertLessEqual(mean, MEAN_ERROR_LIMIT, (key, frame, size))
        self.assertLessEqual(off, PIXELS_OFF_LIMIT, (key, frame, size))
        time.sleep(0.2)
        self.assertEqual(self.frames(), 1, "a still frame is drawn once")

    def test_match_the_recorder(self):
        for key in "12":
            for frame in (0, 7, 23):
                self.check(key, frame, "600x600")
            self.check(key, 5, "320x200")
        self.assertEqual(self.browser.errors(), [])


class Refusals(Page):
    def test_bad_links_draw_nothing(self):
        for query, why in (("?key=1&frame=3600", "frame takes a whole number from 0 to 3599"),
                           ("?frame=3", "it needs a key"),
                           ("?key=1&size=8x8", "size takes WIDTHxHEIGHT"),
                           ("?key=12", "key takes one character"),
                           ("?key=1&zoom=2", "not 'zoom'")):
            self.open(query)
            self.wait(lambda: self.message() != "", what="the line for " + query)
            self.assertIn("This link cannot be drawn: ", self.message())
            self.assertIn(why, self.message())
            self.assertIsNone(self.canvas("data-frames"), query)
            self.assertEqual(self.console(), "", query)
        self.assertEqual(self.browser.errors(), [])

    def test_without_webgl(self):
        self.browser.close()
        self.browser = Browser(["--disable-webgl", "--disable-3d-apis"])
        for query in ("", "?key=1"):
            self.open(query)
            self.wait(lambda: self.message() != "", what="the line without WebGL")
            self.assertIn("WebGL", self.message())
            self.assertIsNone(self.canvas("data-frames"))
            self.assertEqual(self.console(), "")
            self.assertEqual(self.browser.errors(), [])


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    RECORDER = os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v"])

#!/usr/bin/env python3
"""The web page as people meet it, each scenario written once and run in
every engine (browser.py): the dialogue and its keys, what is shown and what
is hidden, a phone by touch with pause, the pixel ratio, a lost and restored
WebGL context, reduced motion, shared links, refusals, WebGL 1, the
colouring and derivatives controls with the legend, and still frames,
shaded and coloured by distance, against the recorder's same frames. What is shown is read from
screenshots.

usage: page_test.py PATCHVIEW_HTML PATCHVIEW_RECORD [ENGINE ...]
       (engines: chromium firefox webkit; default all three)"""

import base64
import operator
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import ENGINES, Browser  # noqa: E402

MENU = "\nEnter choice \n1. Ferguson Patches\n2. My Patch\n"
COMPUTING = "\n Computing Data............................\n"
# A still frame may differ from the recorder's where a triangle edge falls
# differently: this much at most.
MEAN_ERROR_LIMIT = 0.1  # % of full scale
PIXELS_OFF_LIMIT = 1.0  # % of the pixels off by more than 2 levels
# At the menu, text alone is dark: a shown canvas, even empty, is far more.
DARK_AT_MENU_LIMIT = 0.02  # of the viewport

# The recorder's styles besides the shaded frames: key, colour, derivatives.
STYLES = (("1", "distance", "as-drawn"), ("1", "distance", "scaled"),
          ("1", "shading", "scaled"), ("2", "distance", "as-drawn"))
# The distance colouring's scale of each, in % of the radius, as the
# recorder prints it.
SCALES = {("1", "as-drawn"): "20.6", ("1", "scaled"): "8.83", ("2", "as-drawn"): "0.656"}

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
            subprocess.run([RECORDER, "--frames", str(frames), "--size", size, "--png-frames",
                            "--out", os.path.join(FRAMES, size)],
                           input=key.encode(), check=True, stdout=subprocess.DEVNULL)
    # The other styles, frames 0 to 7.
    for key, colour, derivatives in STYLES:
        subprocess.run([RECORDER, "--frames", "8", "--png-frames", "--colour", colour,
                        "--derivatives", derivatives, "--out", os.path.join(FRAMES, "600x600")],
                       input=key.encode(), check=True, stdout=subprocess.DEVNULL)


def tearDownModule():
    shutil.rmtree(os.path.dirname(PAGE[len("file://"):]), ignore_errors=True)
    shutil.rmtree(FRAMES, ignore_errors=True)


class Picture:
    """An RGB picture from PNG bytes, through ImageMagick."""

    def __init__(self, png):
        ppm = subprocess.run(["convert", "png:-", "-alpha", "off", "-depth", "8", "ppm:-"],
                             input=png, stdout=subprocess.PIPE, check=True).stdout
        fields = ppm.split(maxsplit=4)
        assert fields[0] == b"P6" and fields[3] == b"255", fields[:4]
        self.width, self.height = int(fields[1]), int(fields[2])
        self.rgb = fields[4][: 3 * self.width * self.height]

    def crop(self, x, y, width, height):
        part = Picture.__new__(Picture)
        part.width, part.height = width, height
        row = 3 * self.width
        part.rgb = b"".join(self.rgb[(y + r) * row + 3 * x:(y + r) * row + 3 * (x + width)]
                            for r in range(height))
        return part

    def dark(self):
        """The share of pixels darker than 40 in every channel (of every
        fifth pixel: a share, quickly)."""
        n = self.width * self.height
        picked = range(0, 3 * n, 15)
        rgb = self.rgb
        return sum(1 for k in picked if rgb[k] < 40 and rgb[k + 1] < 40 and rgb[k + 2] < 40) / len(
            picked)

    def luminance(self, k):
        def linear(c):
            c /= 255
            return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
        r, g, b = (linear(c) for c in self.rgb[k:k + 3])
        return 0.2126 * r + 0.7152 * g + 0.0722 * b


def difference(a, b):
    """Mean error in % of full scale, and % of pixels off by more than 2 levels."""
    assert (a.width, a.height) == (b.width, b.height), ((a.width, a.height), (b.width, b.height))
    d = list(map(abs, map(operator.sub, a.rgb, b.rgb)))
    off = sum(1 for n in range(0, len(d), 3) if d[n] > 2 or d[n + 1] > 2 or d[n + 2] > 2)
    return 100.0 * sum(d) / (255 * len(d)), 100.0 * off / (a.width * a.height)


class Scenario:
    """A browser for the class's tests, opened with the class's options."""

    engine = None
    options = {}

    @classmethod
    def setUpClass(cls):
        cls.browser = Browser(cls.engine, **cls.options)

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()

    def setUp(self):
        self.browser.errors()  # what an earlier test left is its own

    def open(self, query=""):
        """Opens the page and waits for its code, which starts after the load."""
        self.browser.get(PAGE + query)
        self.wait(lambda: self.run_js(
            "return document.getElementById('console').textContent !== '' ||"
            " document.getElementById('message').textContent !== '' ||"
            " document.getElementById('view').dataset.frames !== undefined"), "the page's code")

    def run_js(self, script, *args):
        return self.browser.run(script, *args)

    def wait(self, condition, what, seconds=30):
        end = time.time() + seconds
        while time.time() < end:
            if condition():
                return
            time.sleep(0.05)
        self.fail("%s: waited in vain for %s" % (self.engine, what))

    def console(self):
        return self.run_js("return document.getElementById('console').textContent")

    def message(self):
        return self.run_js("return document.getElementById('message').textContent")

    def view(self):
        """The canvas as laid out: shown or not, its counters and sizes."""
        return self.run_js("""
            const c = document.getElementById('view');
            const r = c.getBoundingClientRect();
            return {shown: c.getClientRects().length > 0, frames: Number(c.dataset.frames || 0),
                    step: Number(c.dataset.step || 0), buffer: [c.width, c.height],
                    box: [r.left, r.top, r.width, r.height], ratio: window.devicePixelRatio,
                    title: document.title, work: c.dataset.workMs || null};""")

    def rect(self, selector):
        return self.run_js("const r = document.querySelector(arguments[0]).getBoundingClientRect();"
                           "return [r.left, r.top, r.width, r.height];", selector)

    def tap(self, selector):
        x, y, w, h = self.rect(selector)
        self.browser.tap(x + w / 2, y + h / 2)

    def click(self, selector):
        x, y, w, h = self.rect(selector)
        self.browser.click(x + w / 2, y + h / 2)

    def shown(self):
        return Picture(self.browser.screenshot())

    def canvas_shown(self):
        """The canvas's part of a screenshot, in device pixels."""
        picture, v = self.shown(), self.view()
        scale = v["ratio"]
        x, y, w, h = (round(n * scale) for n in v["box"])
        return picture.crop(x, y, min(w, picture.width - x), min(h, picture.height - y))

    def canvas_drawn(self):
        """The pixels of a still frame's buffer."""
        url = self.run_js("return document.getElementById('view').toDataURL('image/png');")
        return Picture(base64.b64decode(url.split(",", 1)[1]))

    def viewing(self, title):
        self.wait(lambda: self.view()["title"] == title and self.view()["frames"] >= 1,
                  title + " drawing")
        self.assertEqual(self.console(), MENU + COMPUTING)
        self.assertEqual(self.run_js("return document.querySelectorAll('#console button').length"),
                         0, "no menu line is offered in the view")

    def at_menu(self):
        self.wait(lambda: not self.view()["shown"], "the menu")
        self.assertEqual(self.console(), MENU)
        self.assertEqual(self.view()["title"], "patchview")
        dark = self.shown().dark()
        self.assertLess(dark, DARK_AT_MENU_LIMIT, "%s: nothing but the menu is shown" % self.engine)

    def focused(self):
        return self.run_js("return document.activeElement.dataset.key || null")

    def focus_contrast(self):
        """The contrast with white of the band 3 to 4 CSS px around the
        focused element, where its ring is drawn."""
        picture, scale = self.shown(), self.view()["ratio"]
        x, y, w, h = self.run_js("const r = document.activeElement.getBoundingClientRect();"
                                 "return [r.left, r.top, r.width, r.height];")
        band = []
        for offset in (3, 4):
            top, bottom = round((y - offset) * scale), round((y + h + offset) * scale) - 1
            left, right = round((x - offset) * scale), round((x + w + offset) * scale) - 1
            for px in range(left, right + 1):
                band += [(px, top), (px, bottom)]
            for py in range(top, bottom + 1):
                band += [(left, py), (right, py)]
        lights = sorted(picture.luminance(3 * (py * picture.width + px)) for px, py in band)
        return 1.05 / (lights[len(lights) // 2] + 0.05)

    def record_keys(self):
        """From now on each key's name and whether the page took it over."""
        self.run_js("window.pvKeys = []; window.addEventListener('keydown',"
                    " (e) => pvKeys.push([e.key, e.defaultPrevented]));")

    def keys_taken(self):
        return self.run_js("const k = pvKeys.filter((e) => e[1]).map((e) => e[0]);"
                           " pvKeys = []; return k;")

    def recorded(self, key, frame, size="600x600", colour="shading", derivatives="as-drawn"):
        """The recorder's frame of that key and style."""
        name = "patchview-%s%s%s-%03d.png" % (
            "ferguson" if key == "1" else "cubic", "-scaled" if derivatives == "scaled" else "",
            "-distance" if colour == "distance" else "", frame)
        with open(os.path.join(FRAMES, size, name), "rb") as f:
            return Picture(f.read())

    def against_recorder(self, picture, what, *frame_and_style):
        mean, off = difference(picture, self.recorded(*frame_and_style))
        print("  %s: %s: mean error %.4f %%, %.3f %% of pixels off by more than 2 levels" % (
            self.engine, what, mean, off))
        self.assertLessEqual(mean, MEAN_ERROR_LIMIT, (self.engine, what))
        self.assertLessEqual(off, PIXELS_OFF_LIMIT, (self.engine, what))
        return mean, off

    def legend(self):
        """The legend's ends as shown, or None when it is hidden."""
        return self.run_js("""
            const l = document.getElementById('legend');
            return l.getClientRects().length === 0 ? null :
                [document.getElementById('legend-low').textContent,
                 document.getElementById('legend-high').textContent];""")

    def still_against_recorder(self, key, frame, size, query=None, colour="shading",
                               derivatives="as-drawn"):
        style = ("&colour=" + colour if colour != "shading" else "") + (
            "&derivatives=" + derivatives if derivatives != "as-drawn" else "")
        self.open(query or "?key=%s&frame=%d&size=%s%s" % (key, frame, size, style))
        self.wait(lambda: self.view()["frames"] == 1, "frame %d of key %s" % (frame, key))
        v = self.view()
        self.assertEqual(v["title"], "Ferguson Patches" if key == "1" else "Cubic Patches")
        self.assertEqual("%dx%d" % tuple(v["buffer"]), size)
        scale = SCALES.get((key, derivatives)) if colour == "distance" else None
        self.assertEqual(self.legend(), scale and ["\u2212%s %%" % scale, "+%s %%" % scale])
        self.assertEqual(self.message(), "")
        what = "key %s frame %2d at %s%s%s" % (key, frame, size, style.replace("&", " "),
                                               " (shared link)" if query else "")
        return self.against_recorder(self.canvas_drawn(), what, key, frame, size, colour,
                                     derivatives)


class Dialogue(Scenario):
    def test_keys_choose_as_the_console_and_keep_their_browser_meaning(self):
        self.open()
        self.at_menu()
        self.assertEqual(self.message(), "")
        self.record_keys()

        # Tab and Shift+Tab move between the menu lines, with a clear ring.
        self.browser.press("Tab")
        self.assertEqual(self.focused(), "1")
        if self.browser.window_focus:
            self.assertGreaterEqual(self.focus_contrast(), 3.0, self.engine + ": the focus ring")
        else:
            print("  %s: focus ring not checked: its window cannot get the focus here"
                  % self.engine)
        self.browser.press("Tab")
        self.assertEqual(self.focused(), "2")
        self.browser.press("Tab", shift=True)
        self.assertEqual(self.focused(), "1")
        # Navigation and function keys, and Escape, choose nothing.
        for key in ("ArrowDown", "PageDown", "Home", "End", "F2", "Escape"):
            self.browser.press(key)
        time.sleep(0.3)
        self.at_menu()
        self.assertEqual(self.keys_taken(), [])

        # Enter on a focused line chooses that line.
        self.browser.press("Enter")
        self.viewing("Ferguson Patches")
        # In the view a character redraws: a frame without an idle step.
        redraws = lambda: (lambda v: v["frames"] - v["step"])(self.view())  # noqa: E731
        before = redraws()
        self.browser.press("a")
        self.wait(lambda: redraws() > before, "the redraw")
        for key in ("Tab", "ArrowDown", "PageDown", "F2"):
            self.browser.press(key)
        self.assertEqual(self.keys_taken(), ["Enter"], "only the menu's Enter was taken")
        self.assertIsNotNone(self.view()["work"])
        self.assertGreater(self.shown().dark(), 0.2, "the canvas is shown")

        # Escape ends the view and leaves no frame; again, it starts none.
        self.browser.press("Escape")
        self.at_menu()
        self.browser.press("Escape")
        time.sleep(0.5)
        self.at_menu()
        self.assertEqual(self.keys_taken(), ["Escape"])

        # Enter with no line focused is the console's Enter: the cubic strips.
        self.run_js("document.activeElement.blur()")
        self.browser.press("Enter")
        self.viewing("Cubic Patches")
        self.click("#back")
        self.at_menu()

        # Space on a focused line chooses it; a character follows the
        # console's rule wherever the focus is.
        focus_first_line = "document.querySelector('#console button').focus()"
        self.run_js(focus_first_line)
        self.browser.press(" ")
        self.viewing("Ferguson Patches")
        self.browser.press("Escape")
        self.at_menu()
        self.run_js(focus_first_line)
        self.browser.press("x")
        self.viewing("Cubic Patches")
        self.assertEqual(self.browser.errors(), [])


class Phone(Scenario):
    options = dict(width=320, height=640, pixel_ratio=3, touch=True)  # the narrowest phone

    def test_fits_a_phone_and_pauses_by_touch(self):
        self.open()
        self.tap("#console button")  # 1. Ferguson Patches
        self.viewing("Ferguson Patches")
        layout = self.run_js("""
            const c = document.getElementById('console');
            return [document.documentElement.scrollWidth, window.innerWidth,
                    c.scrollWidth <= c.clientWidth];""")
        self.assertLessEqual(layout[0], layout[1], "no sideways scrolling")
        self.assertTrue(layout[2], "the computing line wraps")
        v = self.view()
        side = layout[1] - 32  # the page's margins
        self.assertEqual(v["box"][2:], [side, side])
        self.assertEqual(v["buffer"], [side * 3, side * 3], "drawn in device pixels")

        # Paused: no idle step, the frame stays; resumed, on from it.
        self.tap("#pause")
        self.wait(lambda: self.run_js("return document.getElementById('pause').textContent")
                  == "Play", "the pause")
        paused = self.view()["step"]
        before = self.canvas_shown()
        time.sleep(0.5)
        self.assertEqual(self.view()["step"], paused)
        self.assertEqual(difference(before, self.canvas_shown()), (0.0, 0.0))
        frames = self.view()["frames"]
        self.tap("#pause")
        self.wait(lambda: self.view()["step"] > paused + 2, "the animation again")
        v = self.view()
        self.assertLessEqual(v["step"] - paused, v["frames"] - frames, "on from the same frame")

        # What is shown is that frame at full resolution.
        self.tap("#pause")
        self.wait(lambda: self.run_js("return document.getElementById('pause').textContent")
                  == "Play", "the pause")
        frame, shown = self.view()["step"], self.canvas_shown()
        self.tap("#back")
        self.at_menu()
        self.open("?key=1&frame=%d&size=%dx%d" % (frame, side * 3, side * 3))
        self.wait(lambda: self.view()["frames"] == 1, "the still of frame %d" % frame)
        mean, off = difference(shown, self.canvas_drawn())
        self.assertLessEqual(mean, MEAN_ERROR_LIMIT, (self.engine, mean, off))
        self.assertLessEqual(off, PIXELS_OFF_LIMIT, (self.engine, mean, off))
        self.assertEqual(self.browser.errors(), [])


class HighDensity(Scenario):
    options = dict(pixel_ratio=2)

    def test_a_lost_context_comes_back_where_it_was(self):
        self.open()
        self.browser.press("2")
        self.viewing("Cubic Patches")
        self.assertEqual(self.view()["buffer"], [1200, 1200], "600 CSS px at a pixel ratio of 2")
        self.run_js("""
            const c = document.getElementById('view');
            const gl = c.getContext('webgl2') || c.getContext('webgl');
            window.pvLose = gl.getExtension('WEBGL_lose_context');
            pvLose.loseContext();""")
        self.wait(lambda: "lost" in self.message(), "the line while the context is lost")
        lost = self.view()["step"]
        time.sleep(0.5)
        self.assertEqual(self.view()["step"], lost, "no idle steps while it is lost")
        self.run_js("pvLose.restoreContext();")
        self.wait(lambda: self.message() == "" and self.view()["step"] > lost + 2,
                  "the restored context")
        self.assertGreater(self.view()["step"], lost)
        picture = self.canvas_shown()
        self.assertLess(picture.dark(), 0.95, "the picture is back")
        self.assertEqual(self.browser.errors(), [])


class Stills(Scenario):
    options = dict(reduced_motion=True)

    def test_match_the_recorder(self):
        for key in "12":
            for frame in (0, 7, 23):
                self.still_against_recorder(key, frame, "600x600")
            self.still_against_recorder(key, 5, "320x200")
        # In the distance colouring, and with the derivatives scaled.
        for key, colour, derivatives in STYLES:
            for frame in (0, 7):
                self.still_against_recorder(key, frame, "600x600", colour=colour,
                                            derivatives=derivatives)
        # Parameters that sharing adds are ignored.
        self.still_against_recorder(
            "2", 5, "320x200", "?utm_source=classroom&key=2&frame=5&size=320x200&fbclid=IwAR0")
        time.sleep(0.2)
        self.assertEqual(self.view()["frames"], 1, "a still frame is drawn once")
        self.assertEqual(self.browser.errors(), [])

    def test_reduced_motion_starts_paused_on_the_first_frame(self):
        self.open("?fbclid=IwAR0")
        self.browser.press("1")
        self.viewing("Ferguson Patches")
        self.assertEqual(self.run_js("return document.getElementById('pause').textContent"),
                         "Play")
        time.sleep(0.5)
        self.assertEqual(self.view()["step"], 0)
        self.click("#pause")
        self.wait(lambda: self.view()["step"] > 2, "the animation after Play")
        self.assertEqual(self.browser.errors(), [])


class Colouring(Scenario):
    options = dict(reduced_motion=True)  # the view waits on frame 0

    def choose_style(self, name, value, scale):
        """Checks a radio by keyboard: focus on the group's checked one, an
        arrow to the other; then waits for the legend and the redrawn frame."""
        frames = self.view()["frames"]
        self.run_js("document.querySelector('input[name=%s]:checked').focus()" % name)
        self.browser.press("ArrowDown" if value in ("distance", "scaled") else "ArrowUp")
        self.assertEqual(self.run_js("return document.querySelector("
                                     "'input[name=%s]:checked').value" % name), value)
        self.wait(lambda: self.message() == "" and self.view()["frames"] > frames
                  and self.legend() == (scale and ["\u2212%s %%" % scale, "+%s %%" % scale]),
                  "the frame in %s %s" % (name, value))

    def test_controls_colour_the_frame_shown_as_the_recorder_does(self):
        self.open()
        self.browser.press("1")
        self.viewing("Ferguson Patches")
        self.assertIsNone(self.legend(), "no legend for the shading")
        self.assertEqual(self.run_js(
            "return [...document.querySelectorAll('#controls input')].map("
            "(i) => i.labels[0].textContent.trim() + ':' + i.checked)"),
            ["Shading:true", "Distance from the tube:false", "As drawn:true",
             "Scaled by the steps:false"])
        self.record_keys()

        self.choose_style("colouring", "distance", "20.6")
        if self.browser.window_focus:
            self.assertGreaterEqual(self.focus_contrast(), 3.0, self.engine + ": the focus ring")
        self.assertIn("coloured by their distance", self.run_js(
            "return document.getElementById('view').getAttribute('aria-label')"))
        self.against_recorder(self.canvas_shown(), "key 1 frame 0, distance, by the controls",
                              "1", 0, "600x600", "distance")
        # The legend's bar: the map's ends and middle, as the frames use them.
        picture, scale = self.shown(), self.view()["ratio"]
        x, y, w, h = (round(n * scale) for n in self.rect("#legend-bar"))
        for at, stop in ((x + 2, (59, 76, 192)), (x + w // 2, (221, 220, 220)),
                         (x + w - 3, (180, 4, 38))):
            k = 3 * ((y + h // 2) * picture.width + at)
            for got, want in zip(picture.rgb[k:k + 3], stop):
                self.assertLessEqual(abs(got - want), 4, (self.engine, at - x, stop))
        self.choose_style("derivatives", "scaled", "8.83")
        self.against_recorder(self.canvas_shown(),
                              "key 1 frame 0, scaled, distance, by the controls", "1", 0,
                              "600x600", "distance", "scaled")
        self.choose_style("colouring", "shading", None)
        self.against_recorder(self.canvas_shown(), "key 1 frame 0, scaled, by the controls",
                              "1", 0, "600x600", "shading", "scaled")
        self.assertEqual(self.keys_taken(), [], "the arrows keep their meaning")

        # The cubic strips: no choice of derivatives, the colouring kept.
        self.choose_style("colouring", "distance", "8.83")
        self.browser.press("Escape")
        self.at_menu()
        self.browser.press("2")
        self.viewing("Cubic Patches")
        self.wait(lambda: self.legend() == ["\u2212" + "0.656 %", "+0.656 %"],
                  "the cubic strips' legend")
        self.assertFalse(self.run_js(
            "return document.getElementById('derivatives').getClientRects().length > 0"))
        self.against_recorder(self.canvas_shown(), "key 2 frame 0, distance, by the controls",
                              "2", 0, "600x600", "distance")
        self.assertEqual(self.browser.errors(), [])


class Refusals(Scenario):
    def test_bad_links_draw_nothing(self):
        for query, why in (("?key=1&frame=3600", "frame takes a whole number from 0 to 3599"),
                           ("?frame=3&fbclid=1", "it needs a key"),
                           ("?key=1&size=8x8", "size takes WIDTHxHEIGHT"),
                           ("?key=12", "key takes one character"),
                           ("?key=1&key=2", "key is given twice"),
                           ("?key=1&colour=red", "colour takes shading or distance"),
                           ("?key=1&derivatives=per-step", "derivatives takes as-drawn or scaled"),
                           ("?key=2&colour=distance&derivatives=scaled",
                            "derivatives=scaled is for the Ferguson patches, key=1, only")):
            self.open(query)
            self.assertIn("This link cannot be drawn: ", self.message())
            self.assertIn(why, self.message())
            self.assertFalse(self.view()["shown"], query)
            self.assertEqual(self.console(), "", query)
            self.assertLess(self.shown().dark(), DARK_AT_MENU_LIMIT, query)
        self.assertEqual(self.browser.errors(), [])


class WithoutWebGl(Scenario):
    options = dict(webgl=0)

    def test_one_line(self):
        for query in ("", "?key=1"):
            self.open(query)
            self.assertIn("WebGL", self.message())
            self.assertFalse(self.view()["shown"])
            self.assertEqual(self.console(), "")
            self.assertLess(self.shown().dark(), DARK_AT_MENU_LIMIT, query)
        self.assertEqual(self.browser.errors(), [])


class WebGlOne(Scenario):
    options = dict(webgl=1)

    def test_draws_as_webgl_2(self):
        if self.engine == "webkit":
            self.skipTest("WebKitGTK has no switch that hides WebGL 2")
        for key in "12":
            self.still_against_recorder(key, 7, "600x600")
            self.assertEqual(self.run_js(
                "return document.getElementById('view').getContext('webgl2')"), None)
        self.open()
        self.browser.press("1")
        self.viewing("Ferguson Patches")
        self.wait(lambda: self.view()["step"] > 2, "the animation")
        self.assertEqual(self.browser.errors(), [])


def load_tests(loader, tests, pattern):
    """Each scenario once for each engine asked for."""
    suite = unittest.TestSuite()
    for engine in ENGINE_LIST:
        for scenario in Scenario.__subclasses__():
            case = type("%s_%s" % (scenario.__name__, engine), (scenario, unittest.TestCase),
                        {"engine": engine})
            suite.addTests(loader.loadTestsFromTestCase(case))
    return suite


if __name__ == "__main__":
    if len(sys.argv) < 3 or any(e not in ENGINES for e in sys.argv[3:]):
        sys.exit(__doc__)
    RECORDER = os.path.abspath(sys.argv[2])
    ENGINE_LIST = sys.argv[3:] or list(ENGINES)
    unittest.main(argv=[sys.argv[0], "-v"])

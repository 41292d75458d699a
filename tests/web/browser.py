"""The page's browsers behind one small interface, so that each test is
written once and runs in every engine:

- chromium: Debian's chromium, headless, through chromium-driver and
  python3-selenium; the window's size, pixel ratio and touch through
  DevTools' device emulation.
- firefox: Debian's firefox-esr in a private X server (Xvfb: headless
  Firefox offers no WebGL here), through WebDriver BiDi with npm's
  puppeteer-core (firefox_bridge.mjs; the packages of package-lock.json,
  installed by scripts/test into tests/web/node_modules).
- webkit: WebKitGTK's MiniBrowser in a private X server, through
  webkit2gtk-driver and python3-selenium; the pixel ratio is GTK's scale and
  reduced motion GTK's setting. It has no touch input: a tap is a click, and
  no switch hides WebGL 2.

Each Browser(engine, width, height, pixel_ratio, touch, reduced_motion,
webgl) opens with a viewport of width x height CSS pixels; webgl is 2 (as the
browser has it), 1 (WebGL 2 hidden) or 0 (no WebGL)."""

import base64
import json
import os
import shutil
import socket
import subprocess
import sysconfig
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options as ChromeOptions
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common import utils
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions import interaction
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.actions.pointer_input import PointerInput
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.webkitgtk.options import Options as WebKitOptions

HERE = os.path.dirname(os.path.abspath(__file__))
ENGINES = ("chromium", "firefox", "webkit")
MINIBROWSER = os.path.join("/usr/lib", sysconfig.get_config_var("MULTIARCH") or "",
                           "webkit2gtk-4.1", "MiniBrowser")

# No network here: Chromium's background services are switched off, and
# WebGL runs on its software renderer.
CHROMIUM_FLAGS = [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-quic", "--disable-extensions", "--enable-unsafe-swiftshader",
    "--remote-debugging-pipe",
]

# WebDriver's key names as KeyboardEvent.key spells them.
SELENIUM_KEYS = {
    "Escape": Keys.ESCAPE, "Enter": Keys.ENTER, "Tab": Keys.TAB, " ": Keys.SPACE,
    "ArrowDown": Keys.ARROW_DOWN, "ArrowUp": Keys.ARROW_UP, "PageDown": Keys.PAGE_DOWN,
    "PageUp": Keys.PAGE_UP, "Home": Keys.HOME, "End": Keys.END, "F2": Keys.F2, "F5": Keys.F5,
}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Xvfb:
    """A private X server with a screen of at least width x height."""

    def __init__(self, width, height):
        self.log = tempfile.TemporaryFile()
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=self.log)
        os.close(write)
        with os.fdopen(read) as f:
            number = f.readline().strip()
        if not number:
            self.close()
            self.log.seek(0)
            raise RuntimeError("Xvfb did not start: " + self.log.read().decode(errors="replace"))
        self.display = ":" + number

    def close(self):
        self.process.terminate()
        self.process.wait()


class LoopbackService(Service):
    """The driver reached at 127.0.0.1: a minimal system may have no
    /etc/hosts, and then "localhost", which Selenium uses, names nothing."""

    @property
    def service_url(self):
        return "http://127.0.0.1:%d" % self.port

    def is_connectable(self):
        return utils.is_connectable(self.port, host="127.0.0.1")


class Browser:
    window_focus = True  # whether the window has the system's focus, and shows focus rings

    def __new__(cls, engine="chromium", **options):
        if cls is Browser:
            cls = {"chromium": Chromium, "firefox": Firefox, "webkit": WebKit}[engine]
        return super().__new__(cls)

    def __init__(self, engine="chromium", width=900, height=1000, pixel_ratio=1, touch=False,
                 reduced_motion=False, webgl=2):
        self.engine = engine
        self.profile = tempfile.mkdtemp(prefix="patchview-%s-" % engine)
        self.xvfb = None
        try:
            self.start(width, height, pixel_ratio, touch, reduced_motion, webgl)
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        try:
            self.stop()
        finally:
            if self.xvfb:
                self.xvfb.close()
            shutil.rmtree(self.profile, ignore_errors=True)

    # What each engine supplies.
    def start(self, width, height, pixel_ratio, touch, reduced_motion, webgl):
        raise NotImplementedError

    def stop(self):
        raise NotImplementedError

    def get(self, url):
        """Opens the address and waits for its load event."""
        raise NotImplementedError

    def run(self, script, *args):
        """Runs a function body with `arguments`; returns what it returns."""
        raise NotImplementedError

    def press(self, key, shift=False):
        """Presses and releases a key, named as KeyboardEvent.key names it."""
        raise NotImplementedError

    def tap(self, x, y):
        """A touch (a click where the engine has none) at CSS pixels x, y."""
        raise NotImplementedError

    def click(self, x, y):
        raise NotImplementedError

    def screenshot(self):
        """What the viewport shows, as PNG bytes in device pixels."""
        raise NotImplementedError

    def errors(self):
        """The page's uncaught exceptions and errors logged since the last call."""
        raise NotImplementedError


class SeleniumBrowser(Browser):
    def stop(self):
        if getattr(self, "driver", None):
            self.driver.quit()

    def get(self, url):
        self.driver.get(url)

    def run(self, script, *args):
        return self.driver.execute_script(script, *args)

    def press(self, key, shift=False):
        key = SELENIUM_KEYS.get(key, key)
        chain = ActionChains(self.driver)
        if shift:
            chain.key_down(Keys.SHIFT).send_keys(key).key_up(Keys.SHIFT)
        else:
            chain.send_keys(key)
        chain.perform()

    def pointer(self, kind, x, y):
        actions = ActionBuilder(self.driver, mouse=PointerInput(kind, kind))
        actions.pointer_action.move_to_location(int(x), int(y)).pointer_down().pointer_up()
        actions.perform()

    def click(self, x, y):
        self.pointer(interaction.POINTER_MOUSE, x, y)

    def screenshot(self):
        return self.driver.get_screenshot_as_png()


class Chromium(SeleniumBrowser):
    def start(self, width, height, pixel_ratio, touch, reduced_motion, webgl):
        options = ChromeOptions()
        flags = CHROMIUM_FLAGS + ["--user-data-dir=" + self.profile,
                                  "--window-size=%d,%d" % (max(width, 500), max(height, 500))]
        if webgl == 1:
            flags.append("--disable-webgl2")
        elif webgl == 0:
            flags += ["--disable-webgl", "--disable-3d-apis"]
        for flag in flags:
            options.add_argument(flag)
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        driver = shutil.which("chromedriver") or "/usr/bin/chromedriver"
        self.driver = webdriver.Chrome(service=LoopbackService(driver), options=options)
        self.touch = touch
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": pixel_ratio, "mobile": touch})
        if touch:
            self.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled",
                                        {"enabled": True, "maxTouchPoints": 5})
        if reduced_motion:
            self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
                "features": [{"name": "prefers-reduced-motion", "value": "reduce"}]})

    def tap(self, x, y):
        self.pointer(interaction.POINTER_TOUCH, x, y)

    def errors(self):
        return [e["message"] for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]


class WebKit(SeleniumBrowser):
    # MiniBrowser's own controls made tiny, so that its window can be as
    # narrow as a phone; animations off is GTK's reduced motion.
    GTK_CSS = "* { font-size: 1px; min-width: 0; min-height: 0; padding: 0; margin: 0; }\n"

    def start(self, width, height, pixel_ratio, touch, reduced_motion, webgl):
        scale = int(pixel_ratio)
        self.xvfb = Xvfb(width * scale + 64, height * scale + 64)
        gtk = os.path.join(self.profile, "gtk-3.0")
        os.makedirs(gtk)
        with open(os.path.join(gtk, "gtk.css"), "w") as f:
            f.write(self.GTK_CSS)
        with open(os.path.join(gtk, "settings.ini"), "w") as f:
            f.write("[Settings]\ngtk-enable-animations=%s\n" % ("false" if reduced_motion else "true"))
        env = dict(os.environ, DISPLAY=self.xvfb.display, GDK_SCALE=str(scale),
                   XDG_CONFIG_HOME=self.profile, XDG_CACHE_HOME=self.profile,
                   XDG_DATA_HOME=self.profile, GDK_BACKEND="x11")
        port = free_port()
        self.service = subprocess.Popen(["WebKitWebDriver", "--port=%d" % port, "--host=127.0.0.1"],
                                        env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        deadline = time.time() + 20
        while not utils.is_connectable(port, host="127.0.0.1"):
            if time.time() > deadline or self.service.poll() is not None:
                raise RuntimeError("WebKitWebDriver did not start")
            time.sleep(0.05)
        options = WebKitOptions()
        options.binary_location = MINIBROWSER
        options.add_argument("--automation")
        if webgl == 0:
            options.add_argument("--enable-webgl=false")
        self.driver = webdriver.Remote(command_executor="http://127.0.0.1:%d" % port,
                                       options=options)
        # The window's size less what its frame takes is the viewport.
        self.driver.set_window_rect(x=0, y=0, width=width, height=height)
        inner = self.run("return [innerWidth, innerHeight]")
        if inner != [width, height]:
            self.driver.set_window_rect(x=0, y=0, width=2 * width - inner[0],
                                        height=2 * height - inner[1])

    def stop(self):
        try:
            super().stop()
        finally:
            if getattr(self, "service", None):
                self.service.terminate()
                self.service.wait()

    def get(self, url):
        # WebDriver here has no log: errors from the load on are gathered
        # by the page itself.
        self.driver.get(url)
        self.driver.execute_script("""
            window.pvErrors = [];
            window.addEventListener('error', (e) => pvErrors.push(String(e.message)));
            const error = console.error.bind(console);
            console.error = (...a) => { pvErrors.push(a.join(' ')); error(...a); };""")

    def tap(self, x, y):
        self.click(x, y)

    def screenshot(self):
        # Its snapshot can lag what the page last painted: two frames first.
        self.driver.execute_async_script(
            "requestAnimationFrame(() => requestAnimationFrame(arguments[0]));")
        return super().screenshot()

    def errors(self):
        return self.run("const e = window.pvErrors || []; window.pvErrors = []; return e;")


class Firefox(Browser):
    def start(self, width, height, pixel_ratio, touch, reduced_motion, webgl):
        self.xvfb = Xvfb(max(1280, width + 64), max(1024, height + 64))
        env = dict(os.environ, DISPLAY=self.xvfb.display, MOZ_CRASHREPORTER_DISABLE="1")
        self.bridge = subprocess.Popen(
            ["node", os.path.join(HERE, "firefox_bridge.mjs")], cwd=HERE, env=env,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.call("launch", binary=shutil.which("firefox-esr") or "/usr/bin/firefox-esr",
                  width=width, height=height, pixelRatio=pixel_ratio, touch=touch,
                  reducedMotion=reduced_motion, webgl=webgl, profile=self.profile)
        self.env = env
        self.window_focus = self.focus(20)

    def focus(self, tries):
        """No window manager gives the window the focus, which Firefox needs
        to show focus rings: a click into it and X's own focus, until the
        page has it. Some systems never give it (a chroot without a
        session): False then."""
        for _ in range(tries):
            if self.run("return document.hasFocus()"):
                return True
            subprocess.run("xdotool mousemove 100 100 click 1; xdotool search --onlyvisible "
                           "--class firefox | xargs -r -n 1 xdotool windowfocus --sync",
                           shell=True, env=self.env, timeout=20, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            time.sleep(0.25)
        return False

    def call(self, op, **request):
        request["op"] = op
        self.bridge.stdin.write(json.dumps(request) + "\n")
        self.bridge.stdin.flush()
        line = self.bridge.stdout.readline()
        if not line:
            raise RuntimeError("the Firefox bridge ended during " + op)
        answer = json.loads(line)
        if "error" in answer:
            raise RuntimeError("Firefox, %s: %s" % (op, answer["error"]))
        return answer["value"]

    def stop(self):
        bridge = getattr(self, "bridge", None)
        if bridge:
            try:
                self.call("close")
            except (RuntimeError, OSError, ValueError):
                pass
            bridge.stdin.close()
            try:
                bridge.wait(20)
            except subprocess.TimeoutExpired:
                bridge.kill()
                bridge.wait()

    def get(self, url):
        self.call("get", url=url)
        if self.window_focus:
            self.focus(20)

    def run(self, script, *args):
        return self.call("run", script=script, args=list(args))

    def press(self, key, shift=False):
        self.call("press", key=key, shift=shift)

    def tap(self, x, y):
        self.call("tap", x=x, y=y)

    def click(self, x, y):
        self.call("click", x=x, y=y)

    def screenshot(self):
        return base64.b64decode(self.call("screenshot"))

    def errors(self):
        return self.call("errors")

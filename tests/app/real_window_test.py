#!/usr/bin/env python3
"""Drives the built viewer as a person would: at a terminal or through a pipe,
in a private X server, with real key presses and screenshots.

Usage: real_window_test.py PATH_TO_PATCHVIEW [unittest options]

Needs Xvfb, xdotool, xwininfo and ImageMagick's import.
"""

import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time
import unittest

MENU = b"\nEnter choice \n1. Ferguson Patches\n2. My Patch\n"
COMPUTING = b"\n Computing Data............................\n"
TITLES = "^(Ferguson|Cubic) Patches$"
TIMEOUT = 15.0  # seconds; generous so that a loaded machine does not fail

viewer_path = None
xvfb = None
child_env = None


def setUpModule():
    global xvfb, child_env
    read_end, write_end = os.pipe()
    # Without -noreset the server resets whenever its last client leaves, and
    # a viewer connecting meanwhile is refused ("failed to open display").
    log = tempfile.TemporaryFile()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "800x800x24", "-nolisten", "tcp",
         "-noreset"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=log)
    os.close(write_end)
    try:
        number = read_available(read_end, b"\n", "Xvfb to report its display number").strip()
        if not number.isdigit():
            log.seek(0)
            raise RuntimeError("Xvfb did not start:\n" + log.read().decode(errors="replace"))
    except BaseException:
        tearDownModule()
        raise
    finally:
        os.close(read_end)
        log.close()
    child_env = dict(os.environ, DISPLAY=":" + number.decode(), LIBGL_ALWAYS_SOFTWARE="1")


def tearDownModule():
    if xvfb is not None and xvfb.poll() is None:
        xvfb.terminate()
        try:
            xvfb.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            xvfb.kill()
            xvfb.wait()


def wait_for(condition, what, process=None, timeout=TIMEOUT):
    """Polls condition until it returns something true and returns that; fails
    at once if the given viewer process ends meanwhile."""
    def ended():
        return process is not None and process.poll() is not None
    deadline = time.monotonic() + timeout
    while True:
        result = None
        try:
            result = None if ended() else condition()
        except AssertionError:
            if not ended():
                raise
        if ended():
            raise AssertionError("the viewer ended with status %d while waiting for %s"
                                 % (process.returncode, what))
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(0.03)


def read_available(fd, until, what):
    """Reads fd until the data read ends with `until`, or EOF; returns it all."""
    data = b""
    deadline = time.monotonic() + TIMEOUT
    while not data.endswith(until):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise AssertionError("timed out waiting for %s; got %r" % (what, data))
        try:
            chunk = os.read(fd, 4096)
        except OSError:  # a pseudo-terminal whose other side is gone
            chunk = b""
        if not chunk:
            break
        data += chunk
    return data


def nothing_more(fd, seconds=0.3):
    return not select.select([fd], [], [], seconds)[0]


def x(*command):
    """Runs an X client and returns its output."""
    try:
        return subprocess.run(command, env=child_env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=10).stdout
    except subprocess.TimeoutExpired:  # import hangs on a window that is gone
        raise AssertionError("%s took longer than 10 s" % " ".join(command))


def viewer_windows(visible=True):
    options = ["--onlyvisible"] if visible else []
    return x("xdotool", "search", *options, "--name", TITLES).decode().split()


def window_geometry(wid):
    """(x, y, width, height) of a window as xwininfo reports it."""
    fields = dict(line.strip().split(": ", 1)
                  for line in x("xwininfo", "-id", wid).decode().splitlines() if ": " in line)
    return tuple(int(fields[key]) for key in
                 ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))


class Picture:
    """A window's content as 8-bit RGB."""

    def __init__(self, wid):
        data = x("import", "-silent", "-window", wid, "-depth", "8", "ppm:-")
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        if not header:
            raise AssertionError("import gave no 8-bit PPM picture of window %s" % wid)
        self.width, self.height = int(header[1]), int(header[2])
        self.rgb = data[header.end():]
        if len(self.rgb) != self.width * self.height * 3:
            raise AssertionError("import gave a short picture of window %s" % wid)

    def lit(self, channel):
        """How many pixels have some of the channel (0 red, 1 green, 2 blue)."""
        values = self.rgb[channel::3]
        return len(values) - values.count(0)

    def lit_box(self):
        """(left, top, right, bottom) around all pixels that are not black."""
        rows = [self.rgb[y * self.width * 3:(y + 1) * self.width * 3] for y in range(self.height)]
        lit = [y for y, row in enumerate(rows) if row.strip(b"\0")]
        left = min((len(rows[y]) - len(rows[y].lstrip(b"\0"))) // 3 for y in lit)
        right = max((len(rows[y].rstrip(b"\0")) - 1) // 3 for y in lit)
        return left, lit[0], right, lit[-1]


class ViewerTestCase(unittest.TestCase):

    def launch(self, **popen_args):
        """Starts the viewer; it is killed and its window gone after the test."""
        process = subprocess.Popen([viewer_path], env=child_env, **popen_args)
        self.addCleanup(self.stop, process)
        return process

    def stop(self, process):
        if process.poll() is None:
            process.kill()
        process.wait(timeout=TIMEOUT)
        for stream in (process.stdin, process.stdout):
            if stream:
                stream.close()
        wait_for(lambda: not viewer_windows(visible=False), "the viewer's window to go")

    def window(self, process):
        """Waits for the viewer's window and returns its id."""
        windows = wait_for(viewer_windows, "the viewer's window", process)
        self.assertEqual(len(windows), 1, "more than one viewer window")
        return windows[0]

    def title(self, wid):
        return x("xdotool", "getwindowname", wid).decode().strip()

    def piped(self, key):
        """Starts the viewer with key on its stdin, which then closes."""
        process = self.launch(stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
        process.stdin.write(key)
        process.stdin.close()
        return process

    def title_chosen_by(self, key):
        process = self.piped(key) if key is not None else self.launch(
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        try:
            return self.title(self.window(process))
        finally:
            self.stop(process)

    def picture(self, wid, process, accept, what):
        def attempt():
            picture = Picture(wid)
            return picture if accept(picture) else None
        return wait_for(attempt, what, process)

    def assert_animates(self, wid, process):
        """Waits for a picture and two successive new ones, so the loop runs on."""
        picture = self.picture(wid, process, lambda p: p.rgb.strip(b"\0"), "something drawn")
        for _ in range(2):
            previous = picture.rgb
            picture = self.picture(wid, process, lambda p: p.rgb != previous,
                                   "the picture to change")
        return picture

    def press(self, wid, key):
        # No window manager gives focus, so the key goes to the window itself.
        x("xdotool", "key", "--window", wid, key)


class TerminalTest(ViewerTestCase):
    """At a terminal the choice is one key, without Enter and without echo."""

    def start_at_terminal(self):
        master, slave = os.openpty()
        self.addCleanup(os.close, master)
        self.addCleanup(os.close, slave)
        before = termios.tcgetattr(slave)
        self.assertTrue(before[3] & termios.ICANON and before[3] & termios.ECHO)
        # The pseudo-terminal becomes the viewer's controlling terminal, so
        # that Ctrl-C reaches it as it would from a shell.
        process = self.launch(stdin=slave, stdout=slave, start_new_session=True,
                              preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        menu = MENU.replace(b"\n", b"\r\n")
        self.assertEqual(read_available(master, menu, "the menu"), menu)

        def single_keys():
            mode = termios.tcgetattr(slave)
            return mode if not mode[3] & (termios.ICANON | termios.ECHO) else None
        # Typing before this would be echoed by the terminal, not the viewer.
        waiting = wait_for(single_keys, "the terminal to take single keys without echo", process)
        self.assertTrue(waiting[3] & termios.ISIG, "Ctrl-C would no longer interrupt")
        return process, master, slave, before

    def test_one_key_chooses_without_echo_and_terminal_is_restored(self):
        process, master, slave, before = self.start_at_terminal()
        os.write(master, b"1")
        computing = COMPUTING.replace(b"\n", b"\r\n")
        self.assertEqual(read_available(master, computing, "the computing message"), computing)
        self.assertEqual(termios.tcgetattr(slave), before)
        self.assertEqual(self.title(self.window(process)), "Ferguson Patches")

    def test_ctrl_c_at_the_menu_ends_it_and_restores_the_terminal(self):
        process, master, slave, before = self.start_at_terminal()
        os.write(master, b"\x03")
        self.assertEqual(process.wait(timeout=TIMEOUT), -signal.SIGINT)
        self.assertEqual(termios.tcgetattr(slave), before)


class PipedInputTest(ViewerTestCase):

    def test_menu_comes_before_the_key_is_read_and_messages_are_exact(self):
        process = self.launch(stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        out = process.stdout.fileno()
        self.assertEqual(read_available(out, MENU, "the menu"), MENU)
        self.assertTrue(nothing_more(out), "more output before the key was given")
        self.assertEqual(viewer_windows(visible=False), [], "a window before the key was given")
        process.stdin.write(b"2")
        process.stdin.close()
        self.assertEqual(read_available(out, COMPUTING, "the computing message"), COMPUTING)
        self.window(process)
        self.assertTrue(nothing_more(out), "more output once the window is open")

    def test_key_one_chooses_ferguson_patches(self):
        for key in (b"1", b"1\n"):
            with self.subTest(key=key):
                self.assertEqual(self.title_chosen_by(key), "Ferguson Patches")

    def test_any_other_first_byte_or_no_input_chooses_cubic_patches(self):
        # None: stdin is /dev/null; b"": a pipe closed at once.
        for key in (b"2", b"x", b"\n", b"\x1b", b"21", b"", None):
            with self.subTest(key=key):
                self.assertEqual(self.title_chosen_by(key), "Cubic Patches")


class PictureTest(ViewerTestCase):
    FEW = 600 * 600 // 20  # fewer lit pixels than this is next to nothing

    def drawn(self, key):
        process = self.piped(key)
        wid = self.window(process)
        self.assertEqual(window_geometry(wid), (100, 100, 600, 600))
        picture = self.assert_animates(wid, process)
        self.assertEqual((picture.width, picture.height), (600, 600))
        return picture

    def test_ferguson_patches_are_pure_blue_and_turn(self):
        picture = self.drawn(b"1")
        self.assertGreater(picture.lit(2), self.FEW)
        self.assertEqual((picture.lit(0), picture.lit(1)), (0, 0), "red or green in the picture")

    def test_cubic_patches_are_green_and_blue_tints_and_turn(self):
        picture = self.drawn(b"2")
        self.assertGreater(picture.lit(1), self.FEW)
        self.assertGreater(picture.lit(2), self.FEW)
        self.assertEqual(picture.lit(0), 0, "red in the picture")


class WindowTest(ViewerTestCase):

    def test_resizing_keeps_it_drawing_even_one_pixel_high(self):
        # X refuses a height of 0, so one pixel is as flat as a window gets;
        # drawing on at full size afterwards shows the flat window did no harm.
        process = self.piped(b"2")
        wid = self.window(process)
        for width, height in ((700, 300), (700, 1), (600, 600)):
            x("xdotool", "windowsize", wid, str(width), str(height))
            wait_for(lambda: window_geometry(wid)[2:] == (width, height),
                     "the size %dx%d" % (width, height), process)
            if height > 1:
                picture = self.assert_animates(wid, process)
                self.assertEqual((picture.width, picture.height), (width, height))
                # However the window is shaped, the surface is all in view, in
                # the middle, and about as wide as it is high.
                left, top, right, bottom = box = picture.lit_box()
                self.assertTrue(0 < left and 0 < top and right < width - 1 and bottom < height - 1,
                                "the surface %s is cut off by the window's edges" % (box,))
                self.assertAlmostEqual((left + right) / 2, width / 2, delta=width * 0.15)
                self.assertAlmostEqual((top + bottom) / 2, height / 2, delta=height * 0.15)
                self.assertLess(right - left, min(width, height), "the surface is stretched")
        self.assertEqual(viewer_windows(), [wid])

    def test_escape_ends_it_with_status_zero_and_other_keys_do_not(self):
        process = self.piped(b"1")
        wid = self.window(process)
        self.press(wid, "a")
        # Pictures drawn after the key was sent show that it has been handled.
        self.assert_animates(wid, process)
        with self.assertRaises(subprocess.TimeoutExpired):
            process.wait(timeout=1)
        self.press(wid, "Escape")
        self.assertEqual(process.wait(timeout=TIMEOUT), 0)


if __name__ == "__main__":
    if len(sys.argv) < 2 or not os.access(sys.argv[1], os.X_OK):
        sys.exit("usage: %s PATH_TO_PATCHVIEW [unittest options]" % sys.argv[0])
    missing = [tool for tool in ("Xvfb", "xdotool", "xwininfo", "import") if not shutil.which(tool)]
    if missing:
        sys.exit("missing %s (Debian packages xvfb, xdotool, x11-utils, imagemagick)"
                 % ", ".join(missing))
    viewer_path = os.path.abspath(sys.argv.pop(1))
    unittest.main()

#!/usr/bin/env python3
"""Start-up faults of the real viewer: no display, no standard input, and a
signal while the menu waits for its key at a terminal. The viewer must end
with a failure status and a message, never hang, and leave the terminal as
it found it.

Usage: startup_faults_test.py PATH_TO_PATCHVIEW [unittest options]

Needs no X server: every case runs without DISPLAY.
"""

import fcntl
import os
import pty
import select
import signal
import subprocess
import sys
import termios
import time
import unittest

TIMEOUT = 30.0  # seconds; sampling the surface comes before the display
POLL = 0.02

viewer_path = None


def env_without_display():
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def close_standard_input():
    try:
        os.close(0)
    except OSError:  # already closed in the test runner
        pass


class NoDisplay(unittest.TestCase):
    """Without a display the toolkit cannot start: a failure, not a hang."""

    def run_viewer(self, key=None, **popen_args):
        """Runs the viewer to its end; returns status, output and error output."""
        if key is not None:
            popen_args["stdin"] = subprocess.PIPE
        process = subprocess.Popen([viewer_path], env=env_without_display(),
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, **popen_args)
        try:
            out, err = process.communicate(key, timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            process.kill()
            process.communicate()
            self.fail("still running after %.0f s" % TIMEOUT)
        return process.returncode, out, err

    def assert_failed_for_display(self, status, out, err):
        self.assertGreater(status, 0, "ended with status %d, not a failure status" % status)
        self.assertIn(b"Computing Data", out, "did not get as far as the window")
        self.assertIn(b"display", err.lower(), "no message about the display: %r" % err)

    def test_piped_key_one(self):
        self.assert_failed_for_display(*self.run_viewer(key=b"1"))

    def test_standard_input_at_end(self):
        self.assert_failed_for_display(*self.run_viewer(stdin=subprocess.DEVNULL))

    def test_standard_input_closed(self):
        # fd 0 not open at all: reading the key fails with EBADF.
        self.assert_failed_for_display(*self.run_viewer(preexec_fn=close_standard_input))


class SignalAtMenu(unittest.TestCase):
    """At a terminal the menu puts it in single-key mode; a signal during the
    wait ends the program by that signal and restores the terminal."""

    def start_at_terminal(self, controlling):
        master, slave = pty.openpty()
        self.addCleanup(os.close, master)
        self.addCleanup(os.close, slave)
        before = termios.tcgetattr(slave)

        def make_controlling_terminal():
            os.setsid()
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        process = subprocess.Popen(
            [viewer_path], env=env_without_display(), stdin=slave, stdout=slave, stderr=slave,
            preexec_fn=make_controlling_terminal if controlling else None)
        self.addCleanup(self.reap, process)

        self.read_until(master, b"2. My Patch")
        self.wait_for(lambda: not termios.tcgetattr(slave)[3] & termios.ICANON,
                      "the terminal to be put in single-key mode", process)
        return process, master, slave, before

    def reap(self, process):
        if process.poll() is None:
            process.kill()
        process.wait(timeout=TIMEOUT)

    def read_until(self, fd, text):
        data = b""
        deadline = time.monotonic() + TIMEOUT
        while text not in data:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                self.fail("timed out waiting for %r; got %r" % (text, data))
            try:
                chunk = os.read(fd, 4096)
            except OSError:  # the other side is gone
                chunk = b""
            if not chunk:
                self.fail("output ended before %r; got %r" % (text, data))
            data += chunk
        return data

    def wait_for(self, condition, what, process):
        deadline = time.monotonic() + TIMEOUT
        while not condition():
            if process.poll() is not None:
                self.fail("ended with status %d while waiting for %s" % (process.returncode, what))
            if time.monotonic() > deadline:
                self.fail("timed out after %.0f s waiting for %s" % (TIMEOUT, what))
            time.sleep(POLL)

    def assert_ended_by(self, process, signum, slave, before):
        try:
            process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.fail("still running %.0f s after signal %d" % (TIMEOUT, signum))
        self.assertEqual(process.returncode, -signum)
        self.assertEqual(termios.tcgetattr(slave), before, "terminal attributes not restored")

    def test_sigint_and_sigterm_sent(self):
        for signum in (signal.SIGINT, signal.SIGTERM):
            with self.subTest(signal=signal.Signals(signum).name):
                process, _, slave, before = self.start_at_terminal(controlling=False)
                process.send_signal(signum)
                self.assert_ended_by(process, signum, slave, before)

    def test_ctrl_c_typed(self):
        process, master, slave, before = self.start_at_terminal(controlling=True)
        os.write(master, b"\x03")
        self.assert_ended_by(process, signal.SIGINT, slave, before)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: startup_faults_test.py PATH_TO_PATCHVIEW [unittest options]")
    viewer_path = os.path.abspath(sys.argv.pop(1))
    unittest.main()

#!/usr/bin/env python3
# The real viewer's console dialogue, as a person meets it at a terminal or
# through a pipe, where the program cannot go on: without a display, or
# interrupted at the menu. (tests/app/headless_run_test.sh drives its window.)
#
#   viewer_test.py PATH_TO_PATCHVIEW [unittest options and test names]

import fcntl, os, select, signal, subprocess, sys, termios, time, unittest  # noqa: E401

MENU = b"\r\nEnter choice \r\n1. Ferguson Patches\r\n2. My Patch\r\n"
COMPUTING = b"\r\n Computing Data............................\r\n"
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}


# All that fd gives until it has given text.
def read_until(fd, text, data=b""):
    while text not in data:
        assert select.select([fd], [], [], 20)[0], "no %r in %r" % (text, data)
        data += os.read(fd, 4096)
    return data


class StartUp(unittest.TestCase):
    def launch(self, **args):
        process = subprocess.Popen([VIEWER], env=ENV, **args)
        self.addCleanup(lambda: (process.kill(), process.communicate()))
        return process

    # The viewer waiting for its key at a pseudo-terminal that it controls:
    # keys come one at a time without echo, and Ctrl-C still interrupts.
    def at_terminal(self):
        master, slave = os.openpty()
        self.addCleanup(lambda: (os.close(master), os.close(slave)))
        before = termios.tcgetattr(slave)
        process = self.launch(stdin=slave, stdout=slave, stderr=slave, start_new_session=True,
                              preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        self.assertEqual(read_until(master, b"Patch\r\n"), MENU)
        deadline = time.monotonic() + 20
        while termios.tcgetattr(slave)[3] & (termios.ICANON | termios.ECHO | termios.ISIG) != \
                termios.ISIG:
            self.assertLess(time.monotonic(), deadline, "the terminal did not take single keys")
            time.sleep(0.03)
        return process, master, lambda: self.assertEqual(termios.tcgetattr(slave), before)

    def test_without_a_display_it_fails_with_a_message(self):
        # The key from a pipe, no input at all, standard input closed.
        for args in ({"stdin": subprocess.PIPE}, {"stdin": subprocess.DEVNULL},
                     {"preexec_fn": lambda: os.close(0)}):
            process = self.launch(stdout=subprocess.PIPE, stderr=subprocess.PIPE, **args)
            out, err = process.communicate(b"1" if process.stdin else None, timeout=20)
            self.assertGreater(process.returncode, 0)
            self.assertIn(b"Computing Data", out)
            self.assertIn(b"display", err.lower())

    def test_at_a_terminal_one_key_is_taken_without_echo(self):
        process, master, restored = self.at_terminal()
        os.write(master, b"1")
        self.assertTrue(read_until(master, b"...\r\n").startswith(COMPUTING))  # no echo
        restored()
        self.assertGreater(process.wait(timeout=20), 0)  # no display

    def test_a_signal_at_the_menu_ends_it_and_restores_the_terminal(self):
        for signum, typed in ((signal.SIGINT, b"\x03"), (signal.SIGTERM, None)):
            process, master, restored = self.at_terminal()
            os.write(master, typed) if typed else process.send_signal(signum)
            self.assertEqual(process.wait(timeout=20), -signum)
            restored()


if __name__ == "__main__":
    VIEWER = os.path.abspath(sys.argv.pop(1))
    unittest.main()

#!/usr/bin/env python3
# The real viewer's console dialogue, as a person meets it at a terminal or
# through a pipe, where the program cannot go on: without a display, or
# interrupted or suspended at the menu. (scripts/check-install drives its window.)
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


# Kills a process or, given a negative id, a group; whether it was there.
def kill(pid):
    try:
        os.kill(pid, signal.SIGKILL)
        return True
    except ProcessLookupError:
        return False


class StartUp(unittest.TestCase):
    def launch(self, **args):
        process = subprocess.Popen([VIEWER], env=ENV, **args)
        self.addCleanup(lambda: (process.kill(), process.communicate()))
        return process

    # The viewer waiting for its key at a pseudo-terminal that it controls, or
    # that start(slave) gave it: keys come one at a time without echo, and
    # Ctrl-C still interrupts. Gives checks that the terminal is as before and
    # that it takes single keys again.
    def at_terminal(self, start=None):
        master, slave = os.openpty()
        self.addCleanup(lambda: (os.close(master), os.close(slave)))
        before = termios.tcgetattr(slave)
        process = start(slave) if start else self.launch(
            stdin=slave, stdout=slave, stderr=slave, start_new_session=True,
            preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        self.assertEqual(read_until(master, b"Patch\r\n"), MENU)

        def takes_keys():
            deadline = time.monotonic() + 20
            while termios.tcgetattr(slave)[3] & (termios.ICANON | termios.ECHO | termios.ISIG) \
                    != termios.ISIG:
                self.assertLess(time.monotonic(), deadline, "the terminal takes no single keys")
                time.sleep(0.03)
        takes_keys()
        return process, master, lambda: self.assertEqual(termios.tcgetattr(slave), before), \
            takes_keys

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
        process, master, restored, _ = self.at_terminal()
        os.write(master, b"1")
        self.assertTrue(read_until(master, b"...\r\n").startswith(COMPUTING))  # no echo
        restored()
        self.assertGreater(process.wait(timeout=20), 0)  # no display

    def test_a_signal_at_the_menu_ends_it_and_restores_the_terminal(self):
        for signum, typed in ((signal.SIGINT, b"\x03"), (signal.SIGTERM, None)):
            process, master, restored, _ = self.at_terminal()
            os.write(master, typed) if typed else process.send_signal(signum)
            self.assertEqual(process.wait(timeout=20), -signum)
            restored()

    def test_ctrl_z_at_the_menu_gives_the_terminal_back_until_continued(self):
        # As a shell with job control runs it: a parent in the terminal's
        # session (so ^Z may stop the group) puts the viewer's own group in the
        # foreground and reports its pid, then each stop and the end.
        events, report = os.pipe()
        self.addCleanup(lambda: (os.close(events), os.close(report)))

        def start(slave):
            def foreground():
                os.setpgid(0, 0)
                os.tcsetpgrp(0, os.getpid())
                signal.signal(signal.SIGTTOU, signal.SIG_DFL)

            leader = os.fork()
            if leader == 0:
                try:
                    os.setsid()
                    fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
                    signal.signal(signal.SIGTTOU, signal.SIG_IGN)  # to hand the terminal over
                    viewer = subprocess.Popen([VIEWER], env=ENV, stdin=slave, stdout=slave,
                                              stderr=slave, preexec_fn=foreground)
                    os.write(report, b"%d\n" % viewer.pid)
                    while os.WIFSTOPPED(status := os.waitpid(viewer.pid, os.WUNTRACED)[1]):
                        os.write(report, b"stop %d\n" % os.WSTOPSIG(status))
                    os.write(report, b"end %d\n" % os.waitstatus_to_exitcode(status))
                finally:
                    os._exit(0)
            self.addCleanup(lambda: (kill(leader), os.waitpid(leader, 0)))
            viewer = int(read_until(events, b"\n"))
            # First, stopped or not; its parent reaps it.
            self.addCleanup(lambda: kill(-viewer) and read_until(events, b"end"))
            return viewer

        viewer, master, restored, takes_keys = self.at_terminal(start)
        os.write(master, b"\x1a")
        self.assertEqual(read_until(events, b"\n"), b"stop %d\n" % signal.SIGTSTP)
        restored()
        os.killpg(viewer, signal.SIGCONT)
        takes_keys()
        os.write(master, b"1")
        self.assertTrue(read_until(master, b"...\r\n").startswith(COMPUTING))  # no echo
        self.assertRegex(read_until(events, b"\n"), rb"^end [1-9]")  # no display
        restored()


if __name__ == "__main__":
    VIEWER = os.path.abspath(sys.argv.pop(1))
    unittest.main()

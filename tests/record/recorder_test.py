#!/usr/bin/env python3
# The real recorder as a user meets it: the viewer's dialogue, then files
# that are all there and the same each time, or none at all: on bad options,
# an unwritable folder, a full disk or an interruption.
#
#   recorder_test.py PATH_TO_PATCHVIEW_RECORD [unittest options and test names]

import os, resource, signal, struct, subprocess, sys, tempfile, time, unittest  # noqa: E401

DIALOGUE = b"\nEnter choice \n1. Ferguson Patches\n2. My Patch\n\n Computing Data....."
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}


class Recorder(unittest.TestCase):
    def folder(self):
        made = tempfile.TemporaryDirectory()
        self.addCleanup(made.cleanup)
        return made.name

    def record(self, key, *args, **popen):
        process = subprocess.Popen([RECORDER, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, **{"env": ENV, **popen})
        self.addCleanup(process.kill)
        out, err = process.communicate(key, timeout=120)
        return process.returncode, out, err.decode()

    def test_files_are_the_same_each_time(self):
        runs = [self.folder(), self.folder()]
        for out in runs:
            status, text, _ = self.record(b"2", "--frames", "3", "--size=64x48", "--png-frames",
                                          "--out", out)
            self.assertEqual(status, 0)
            self.assertTrue(text.startswith(DIALOGUE), text)
        names = sorted(os.listdir(runs[0]))
        self.assertEqual(names, ["patchview-cubic-%03d.png" % k for k in range(3)] +
                         ["patchview-cubic.gif", "patchview-cubic.png"])
        for name in names:
            with open(os.path.join(runs[0], name), "rb") as a, \
                    open(os.path.join(runs[1], name), "rb") as b:
                first = a.read()
                self.assertEqual(first, b.read(), name)
            size = struct.unpack(">II", first[16:24]) if name.endswith(".png") else \
                struct.unpack("<HH", first[6:10])
            self.assertEqual(size, (64, 48), name)
        with open(os.path.join(runs[0], "patchview-cubic.png"), "rb") as last, \
                open(os.path.join(runs[0], "patchview-cubic-002.png"), "rb") as frame:
            self.assertEqual(last.read(), frame.read())

    def test_refusals_before_the_menu_leave_nothing(self):
        out = self.folder()
        afile = os.path.join(out, "a-file")
        open(afile, "w").close()
        for args, status, words in (
                (["--frames", "0"], 2, "--frames"), (["--frames", "3601"], 2, "--frames"),
                (["--size", "15x600"], 2, "--size"), (["--size", "600x4097"], 2, "--size"),
                (["--size", "600"], 2, "--size"), (["--out"], 2, "--out needs"),
                (["--colours"], 2, "unknown option"), (["--png-frames=yes"], 2, "no value"),
                (["--out", afile], 1, "cannot"), (["--out", afile + "/sub"], 1, "cannot")):
            code, text, err = self.record(b"1", *args)
            self.assertEqual((code, text, err.count("\n")), (status, b"", 1), args)
            self.assertIn(words, err)
            self.assertEqual(os.listdir(out), ["a-file"])
        # No EGL vendor at all: the packages that provide one are named.
        code, text, err = self.record(b"1", "--out", out,
                                      env=dict(ENV, __EGL_VENDOR_LIBRARY_FILENAMES="/none.json"))
        self.assertEqual((code, text, os.listdir(out)), (1, b"", ["a-file"]))
        self.assertRegex(err, "^patchview-record: no usable EGL: .*libegl-mesa0.*\n$")

    def test_a_full_disk_or_an_interruption_leaves_nothing(self):
        def small_files():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # writes fail instead
            resource.setrlimit(resource.RLIMIT_FSIZE, (30000, 30000))
        out = self.folder()
        code, _, err = self.record(b"1", "--out", out, preexec_fn=small_files)
        self.assertEqual((code, os.listdir(out)), (1, []))
        self.assertRegex(err, "patchview-ferguson.gif: .*File too large")

        for signum in (signal.SIGINT, signal.SIGTERM):
            process = subprocess.Popen([RECORDER, "--frames", "3600", "--png-frames", "--out", out],
                                       env=ENV, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
            self.addCleanup(process.kill)
            process.stdin.write(b"2")
            process.stdin.close()
            deadline = time.monotonic() + 60
            while len(os.listdir(out)) < 3:  # the GIF and two frames under way
                self.assertLess(time.monotonic(), deadline, "no files under way")
                time.sleep(0.05)
            process.send_signal(signum)
            self.assertEqual(process.wait(timeout=20), -signum)
            self.assertEqual(os.listdir(out), [])


if __name__ == "__main__":
    RECORDER = os.path.abspath(sys.argv.pop(1))
    unittest.main()

#!/usr/bin/env python3
# The real recorder as a user meets it: the viewer's dialogue, then files
# that are all there and the same each time, or none at all: on bad options,
# an unwritable folder, a full disk or an interruption. An old set stays
# whole until a new one replaces it, also with two runs at once.
#
#   recorder_test.py PATH_TO_PATCHVIEW_RECORD [unittest options and test names]

import fcntl, glob, os, resource, select, signal, struct, subprocess, sys, tempfile  # noqa: E401
import termios, time, unittest  # noqa: E401

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from processes import files_under_way  # noqa: E402

DIALOGUE = b"\nEnter choice \n1. Ferguson Patches\n2. My Patch\n\n Computing Data....."
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}


class Recorder(unittest.TestCase):
    def folder(self):
        made = tempfile.TemporaryDirectory()
        self.addCleanup(made.cleanup)
        return made.name

    def record(self, key, *args, **popen):
        process = subprocess.Popen([RECORDER, *args], **{
            "stdin": subprocess.PIPE, "stdout": subprocess.PIPE, "stderr": subprocess.PIPE,
            "env": ENV, **popen})
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
                (["--colour", "red"], 2, "--colour takes"), (["--colour"], 2, "--colour needs"),
                (["--derivatives=both"], 2, "--derivatives takes"),
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

    def test_distance_colouring_and_scaled_derivatives(self):
        out = self.folder()

        def pixels(name, condition):
            """The share of the last frame's pixels where condition holds."""
            return float(subprocess.run(
                ["convert", os.path.join(out, name + ".png"), "-fx", condition, "-format",
                 "%[fx:mean]", "info:"], capture_output=True, check=True, text=True).stdout)

        for key, args, name, scale in (
                (b"1", [], "patchview-ferguson", None),
                (b"1", ["--colour", "distance"], "patchview-ferguson-distance", "20.6"),
                (b"1", ["--derivatives=scaled", "--colour=shading"], "patchview-ferguson-scaled",
                 None),
                (b"1", ["--colour=distance", "--derivatives", "scaled"],
                 "patchview-ferguson-scaled-distance", "8.83"),
                (b"2", ["--derivatives", "as-drawn"], "patchview-cubic", None),
                (b"2", ["--colour", "distance"], "patchview-cubic-distance", "0.656")):
            status, text, err = self.record(key, "--frames", "2", "--size", "96x96",
                                            "--out", out, *args)
            self.assertEqual((status, err), (0, ""), args)
            # The scale between the computing line and the drawing line.
            line = text.split(b"\n")[6].decode()
            if scale:
                self.assertEqual(line, "colour scale: %s %% of the radius (blue inside, red "
                                 "outside)" % scale, args)
            else:
                self.assertTrue(line.startswith("drawing "), line)
            self.assertTrue(os.path.isfile(os.path.join(out, name + ".gif")), name)
            drawn = pixels(name, "r+g+b>0")
            self.assertGreater(drawn, 0.15, name)
            if scale:
                # The cells of the shaded frame, each in a colour of the map,
                # none without red: inside blue, outside red, both for the patches.
                self.assertEqual(drawn, pixels(name.replace("-distance", ""), "r+g+b>0"), name)
                self.assertEqual(drawn, pixels(name, "r>0"), name)
                self.assertGreater(pixels(name, "b>r"), 0.01, name)
                self.assertEqual(pixels(name, "r>b") > 0.01, key == b"1", name)
        self.assertGreater(subprocess.run(
            ["compare", "-metric", "AE", os.path.join(out, "patchview-ferguson.png"),
             os.path.join(out, "patchview-ferguson-scaled.png"), "null:"],
            capture_output=True, text=True).stderr.split()[0], "0")

        # The strips have no scaled derivatives: refused after the question,
        # with one line and nothing written, not even the folder made.
        made = os.path.join(out, "new")
        status, text, err = self.record(b"2", "--derivatives", "scaled", "--out", made)
        self.assertEqual((status, text, err), (2, DIALOGUE.split(b"\n\n Computing")[0] + b"\n",
                         "patchview-record: --derivatives scaled is for the Ferguson patches "
                         "(key 1) only\n"))
        self.assertFalse(os.path.exists(made))

    def under_way(self, folder, count, process):
        """Waits until count new files for folder are being written or written."""
        deadline = time.monotonic() + 60
        while True:
            if len(files_under_way(process.pid, folder)) >= count:
                return
            self.assertIsNone(process.poll(), "the run ended before its files were under way")
            self.assertLess(time.monotonic(), deadline, "no files under way")
            time.sleep(0.02)

    def start(self, key, *args, **popen):
        process = subprocess.Popen([RECORDER, *args], env=ENV, stdin=subprocess.PIPE,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, **popen)
        self.addCleanup(process.stderr.close)
        self.addCleanup(process.kill)
        process.stdin.write(key)
        process.stdin.close()
        return process

    def test_a_full_disk_or_an_interruption_leaves_nothing(self):
        out = self.folder()
        made = os.path.join(out, "made", "deeper")  # made by --out, removed again
        code, _, err = self.record(b"1", "--out", made, preexec_fn=lambda: resource.setrlimit(
            resource.RLIMIT_FSIZE, (30000, 30000)))
        self.assertEqual((code, os.listdir(out), err.count("\n")), (1, [], 1), err)
        self.assertRegex(err, "patchview-ferguson.gif: .*File too large")

        for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT):
            process = self.start(b"2", "--frames", "3600", "--png-frames", "--out", made)
            self.under_way(made, 3, process)  # the GIF and two frames
            process.send_signal(signum)
            self.assertEqual(process.wait(timeout=20), -signum)
            self.assertEqual(process.stderr.read().decode(), "patchview-record: interrupted by "
                             "%s; no file written\n" % signal.Signals(signum).name)
            self.assertEqual(os.listdir(out), [])

        # Started with SIGHUP ignored (nohup), it finishes and keeps its files.
        process = self.start(b"2", "--frames", "40", "--size", "32x32", "--out", out,
                             preexec_fn=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN))
        self.under_way(out, 1, process)
        process.send_signal(signal.SIGHUP)
        self.assertEqual(process.wait(timeout=60), 0, process.stderr.read())
        self.assertEqual(sorted(os.listdir(out)), ["patchview-cubic.gif", "patchview-cubic.png"])

    def test_ctrl_c_at_the_menu_restores_the_terminal_and_leaves_nothing(self):
        out = self.folder()
        master, slave = os.openpty()
        self.addCleanup(lambda: (os.close(master), os.close(slave)))
        before = termios.tcgetattr(slave)
        process = subprocess.Popen([RECORDER, "--out", os.path.join(out, "made")], env=ENV,
                                   stdin=slave, stdout=slave, stderr=slave, start_new_session=True,
                                   preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        self.addCleanup(process.kill)
        seen, deadline = b"", time.monotonic() + 60
        while b"Patch\r\n" not in seen or termios.tcgetattr(slave)[3] & termios.ECHO:
            self.assertLess(time.monotonic(), deadline, "no key awaited: %r" % seen)
            if select.select([master], [], [], 0.05)[0]:
                seen += os.read(master, 4096)
        os.write(master, b"\x03")
        self.assertEqual(process.wait(timeout=20), -signal.SIGINT)
        while select.select([master], [], [], 0.5)[0]:
            seen += os.read(master, 4096)
        self.assertTrue(seen.endswith(b"patchview-record: interrupted by SIGINT; no file "
                                      b"written\r\n"), seen)
        self.assertEqual((termios.tcgetattr(slave), os.listdir(out)), (before, []))

    def test_the_old_set_stays_whole_until_a_new_one_replaces_it(self):
        out = self.folder()
        def listing():
            files = {}
            for name in os.listdir(out):
                if os.path.isfile(os.path.join(out, name)):
                    with open(os.path.join(out, name), "rb") as f:
                        files[name] = f.read()
            return files
        frames = ["patchview-cubic-%03d.png" % k for k in range(5)]
        self.assertEqual(self.record(b"2", "--frames", "5", "--size=32x32", "--png-frames",
                                     "--out", out)[0], 0)
        old = listing()
        self.assertEqual(sorted(old), frames + ["patchview-cubic.gif", "patchview-cubic.png"])
        # A folder where a file goes: refused, and the old set stays as it was.
        os.rename(os.path.join(out, "patchview-cubic.png"), os.path.join(out, "old.png"))
        os.mkdir(os.path.join(out, "patchview-cubic.png"))
        code, _, err = self.record(b"2", "--frames", "3", "--size=32x32", "--png-frames",
                                   "--out", out)
        self.assertEqual((code, err.count("\n")), (1, 1), err)
        self.assertIn("patchview-cubic.png: Is a directory", err)
        del old["patchview-cubic.png"]
        self.assertEqual(listing(), dict(old, **{"old.png": listing()["old.png"]}))
        os.rmdir(os.path.join(out, "patchview-cubic.png"))
        os.remove(os.path.join(out, "old.png"))
        # Fewer frames: the earlier run's later frames go, in either digit count.
        open(os.path.join(out, "patchview-cubic-0002.png"), "w").close()
        open(os.path.join(out, "patchview-cubic-notes.png"), "w").close()
        self.assertEqual(self.record(b"2", "--frames", "3", "--size=32x32", "--png-frames",
                                     "--out", out)[0], 0)
        self.assertEqual(sorted(listing()), frames[:3] + [
            "patchview-cubic-notes.png", "patchview-cubic.gif", "patchview-cubic.png"])
        # "-" is standard output, not a folder.
        code, _, err = self.record(b"2", "--out", "-")
        self.assertEqual(code, 2)
        self.assertIn("standard output", err)

    def test_two_runs_into_one_folder_leave_one_whole_set(self):
        out = self.folder()
        runs = [self.start(b"2", "--frames", frames, "--size", size, "--png-frames", "--out", out)
                for frames, size in (("12", "48x48"), ("6", "40x40"))]
        for process in runs:
            self.assertEqual(process.wait(timeout=120), 0, process.stderr.read())
        names = sorted(os.listdir(out))
        sizes = set()
        for name in names:
            with open(os.path.join(out, name), "rb") as f:
                head = f.read(24)
            sizes.add(struct.unpack(">II", head[16:24]) if name.endswith(".png") else
                      struct.unpack("<HH", head[6:10]))
        self.assertEqual(len(sizes), 1, names)
        count = 12 if sizes == {(48, 48)} else 6
        self.assertEqual(len(names), count + 2, names)

    def test_a_closed_standard_output_is_an_error_after_the_files(self):
        out = self.folder()
        code, _, err = self.record(b"1", "--frames", "1", "--size=32x32", "--out", out,
                                   stdout=None, preexec_fn=lambda: os.close(1))
        self.assertEqual(code, 1)
        self.assertRegex(err, "^patchview-record: cannot write standard output.*"
                         "the files are written.*\n$")
        self.assertEqual(sorted(os.listdir(out)),
                         ["patchview-ferguson.gif", "patchview-ferguson.png"])


if __name__ == "__main__":
    RECORDER = os.path.abspath(sys.argv.pop(1))
    unittest.main()

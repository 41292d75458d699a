#!/usr/bin/env python3
# The measuring program's files as a user names them: a link, a named pipe,
# standard output, a device node, the same file twice, a long name; and runs
# that end early (a signal, a file size limit, a closed standard output)
# leave nothing.
#
#   measure_files_test.py PATH_TO_PATCHVIEW_MEASURE [unittest options and test names]

import glob, json, os, resource, signal, stat, subprocess, sys, tempfile, threading  # noqa: E401
import time, unittest  # noqa: E401

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from processes import files_under_way  # noqa: E402


class MeasureFiles(unittest.TestCase):
    def setUp(self):
        made = tempfile.TemporaryDirectory()
        self.addCleanup(made.cleanup)
        self.dir = made.name

    def path(self, name):
        return os.path.join(self.dir, name)

    def measure(self, *args, **popen):
        run = subprocess.run([MEASURE, *args], cwd=self.dir, capture_output=True, timeout=120,
                             **popen)
        return run.returncode, run.stdout.decode(), run.stderr.decode()

    def test_links_pipes_devices_and_standard_output(self):
        os.symlink("target.json", self.path("link.json"))
        code, out, err = self.measure("--json", "link.json")
        self.assertEqual((code, err), (0, ""))
        self.assertIn("Ferguson", out)
        self.assertEqual(os.readlink(self.path("link.json")), "target.json")
        with open(self.path("target.json")) as target:
            self.assertEqual(json.load(target)["tube_radius"], 0.2)
        # A named pipe is written to, not replaced.
        os.mkfifo(self.path("pipe"))
        received = []

        def read_pipe():
            with open(self.path("pipe")) as pipe:
                received.append(pipe.read())
        reader = threading.Thread(target=read_pipe)
        reader.start()
        code, out, err = self.measure("--json", "pipe")
        reader.join()
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(json.loads(received[0])["tube_radius"], 0.2)
        self.assertTrue(stat.S_ISFIFO(os.lstat(self.path("pipe")).st_mode))
        # "-" is standard output; the report goes to standard error.
        code, out, err = self.measure("--json", "-")
        self.assertEqual(json.loads(out)["tube_radius"], 0.2)
        self.assertIn("Ferguson", err)
        # A private node of the device that is always full: an error, and it stays a device.
        if os.geteuid() != 0:
            self.skipTest("making a device node needs root")
        os.mknod(self.path("full"), stat.S_IFCHR | 0o600, os.makedev(1, 7))
        try:
            os.close(os.open(self.path("full"), os.O_WRONLY))
        except PermissionError:
            self.skipTest("device nodes do not open in %s (nodev)" % self.dir)
        code, out, err = self.measure("--json", "full")
        self.assertEqual((code, err), (1, "patchview-measure: cannot write full: "
                                          "No space left on device\n"))
        self.assertTrue(stat.S_ISCHR(os.lstat(self.path("full")).st_mode))

    def test_names_refused_or_taken(self):
        long_name = "n" * 250
        before = sorted(os.listdir(self.dir))
        for args, words in ((["--json", "out.txt", "--points", "./out.txt"], "same file"),
                            (["--json", "-", "--points", "-"], "same file")):
            code, out, err = self.measure(*args)
            self.assertEqual((code, out, err.count("\n")), (2, "", 1), args)
            self.assertIn(words, err)
            self.assertEqual(sorted(os.listdir(self.dir)), before)
        code, _, err = self.measure("--json", long_name)
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(os.listdir(self.dir), [long_name])

    def test_early_endings_leave_nothing(self):
        code, _, err = self.measure("--json", "j.json", "--points", "p.csv", preexec_fn=lambda:
                                    resource.setrlimit(resource.RLIMIT_FSIZE, (100000, 100000)))
        self.assertEqual((code, err), (1, "patchview-measure: cannot write p.csv: File too large\n"))
        self.assertEqual(os.listdir(self.dir), [])
        code, _, err = self.measure("--json", "j.json", stdout=None,
                                    preexec_fn=lambda: os.close(1))
        self.assertEqual(code, 1)
        self.assertRegex(err, "cannot write standard output.*the files are written")
        os.remove(self.path("j.json"))

        process = subprocess.Popen([MEASURE, "--points", "p.csv"], cwd=self.dir,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.addCleanup(process.stderr.close)
        self.addCleanup(process.kill)
        deadline = time.monotonic() + 60
        while not [p for p in files_under_way(process.pid, self.dir) if os.path.getsize(p)]:
            self.assertLess(time.monotonic(), deadline, "no file under way")
            time.sleep(0.01)
        process.send_signal(signal.SIGQUIT)
        self.assertEqual(process.wait(timeout=20), -signal.SIGQUIT)
        self.assertEqual(process.stderr.read(),
                         b"patchview-measure: interrupted by SIGQUIT; no file written\n")
        self.assertEqual(os.listdir(self.dir), [])


if __name__ == "__main__":
    MEASURE = os.path.abspath(sys.argv.pop(1))
    unittest.main()

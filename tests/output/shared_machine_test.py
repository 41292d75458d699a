#!/usr/bin/env python3
# The recorder and the measuring program on a machine shared with other
# users, and on the file systems people bring: links planted by another user
# in a folder everyone may write to, private files that stay private,
# /dev/stdout, names that the folder takes for one (exFAT, as on USB
# sticks, through FUSE where the machine allows), a CPU time limit and a name
# with a newline. Other users are child processes with other user ids, so
# those cases need root.
#
#   shared_machine_test.py RECORDER MEASURE [unittest options and test names]

import json, os, resource, shutil, signal, stat, subprocess, sys, tempfile, unittest  # noqa: E401

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from processes import USER_A, USER_B, as_user  # noqa: E402

ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}


class SharedMachine(unittest.TestCase):
    def setUp(self):
        made = tempfile.TemporaryDirectory()
        self.addCleanup(made.cleanup)
        self.dir = made.name
        os.chmod(self.dir, 0o755)
        # The programs where every user may run them.
        for name in ("recorder", "measure"):
            copy = os.path.join(self.dir, name)
            shutil.copy(PROGRAMS[name], copy)
            os.chmod(copy, 0o755)

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def run_program(self, name, *args, key=b"1", user=None, **popen):
        if user is not None:
            popen["preexec_fn"] = as_user(user)
        popen.setdefault("stdout", subprocess.PIPE)
        run = subprocess.run([self.path(name), *args], input=key, stderr=subprocess.PIPE,
                             env=ENV, timeout=120, cwd=popen.pop("cwd", self.dir), **popen)
        return run.returncode, run.stdout, run.stderr.decode()

    def folder(self, name, mode, owner=0):
        os.mkdir(self.path(name))
        os.chmod(self.path(name), mode)
        os.chown(self.path(name), owner, owner)
        return self.path(name)

    def needs_root(self):
        if os.geteuid() != 0:
            self.skipTest("other users are played by child processes run as root")

    def needs_other_users(self):
        self.needs_root()
        try:
            reached = subprocess.run(["test", "-x", self.dir], preexec_fn=as_user(USER_A))
        except OSError:
            reached = None
        if reached is None or reached.returncode:
            self.skipTest("other users cannot reach %s here" % self.dir)

    def test_links_planted_by_another_user_are_not_followed(self):
        self.needs_other_users()
        shared = self.folder("shared", 0o1777)
        home = self.folder("home-b", 0o700, USER_B)
        profile = os.path.join(home, ".profile")
        with open(profile, "w") as f:
            f.write("B's own\n")
        os.chown(profile, USER_B, USER_B)
        os.chmod(profile, 0o600)
        for program, args, planted in (
                ("recorder", ["--frames", "1", "--size", "32x32", "--out", shared],
                 "patchview-ferguson.gif"),
                ("recorder", ["--frames", "2", "--size", "32x32", "--png-frames", "--out", shared],
                 "patchview-ferguson-001.png"),
                ("measure", ["--json", os.path.join(shared, "j.json")], "j.json")):
            link = os.path.join(shared, planted)
            subprocess.run(["ln", "-s", profile, link], check=True, preexec_fn=as_user(USER_A))
            for user in (USER_B, None):
                code, _, err = self.run_program(program, *args, user=user)
                self.assertEqual((code, err.count("\n")), (1, 1), err)
                self.assertIn("the link %s belongs to user %d" % (link, USER_A), err)
            self.assertEqual(sorted(os.listdir(shared)), [planted])
            os.remove(link)
        with open(profile) as f:
            self.assertEqual(f.read(), "B's own\n")
        self.assertEqual(stat.S_IMODE(os.stat(profile).st_mode), 0o600)

    def test_replaced_files_keep_their_mode_and_owner(self):
        results = self.path("j.json")
        with open(results, "w") as f:
            f.write("{}")
        os.chmod(results, 0o600)
        if os.geteuid() == 0:
            os.chown(results, USER_A, USER_B)
        self.assertEqual(self.run_program("measure", "--json", results)[0], 0)
        info = os.stat(results)
        self.assertEqual(stat.S_IMODE(info.st_mode), 0o600)
        if os.geteuid() == 0:
            self.assertEqual((info.st_uid, info.st_gid), (USER_A, USER_B))
        with open(results) as f:
            self.assertEqual(json.load(f)["tube_radius"], 0.2)

    def test_dev_stdout_is_the_open_standard_output(self):
        # Through a pipe: the JSON on standard output, the report beside it.
        code, out, err = self.run_program("measure", "--json", "/dev/stdout")
        self.assertEqual(code, 0, err)
        self.assertEqual(json.loads(out)["tube_radius"], 0.2)
        self.assertIn("Ferguson", err)
        # Into a file: the file holds the JSON, and the report is not lost.
        with open(self.path("so.txt"), "w") as so:
            code, out, err = self.run_program("measure", "--json", "/dev/fd/1", stdout=so)
        self.assertEqual(code, 0, err)
        with open(self.path("so.txt")) as so:
            self.assertEqual(json.load(so)["tube_radius"], 0.2)
        self.assertIn("Ferguson", err)

    def test_a_cpu_time_limit_and_odd_names(self):
        out = self.path("made", "deeper")
        code, _, err = self.run_program("recorder", "--frames", "3600", "--png-frames", "--out",
                                        out, preexec_fn=lambda: resource.setrlimit(
                                            resource.RLIMIT_CPU, (1, resource.RLIM_INFINITY)))
        self.assertEqual(code, -signal.SIGXCPU)
        self.assertEqual(err, "patchview-record: interrupted by SIGXCPU; no file written\n")
        self.assertFalse(os.path.exists(self.path("made")))
        # A newline in a name stays inside the one line of the message.
        code, _, err = self.run_program("measure", "--json", "no\nsuch/j.json")
        self.assertEqual((code, err), (1, "patchview-measure: cannot write no\\nsuch/j.json: "
                                          "No such file or directory\n"))

    def test_a_full_disk_is_named_by_the_file_that_filled_it(self):
        self.needs_root()
        disk = self.path("small")
        os.mkdir(disk)
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=300k", "tmpfs", disk]).returncode:
            self.skipTest("no small file system can be mounted here")
        self.addCleanup(subprocess.run, ["umount", disk])
        code, _, err = self.run_program("measure", "--json", os.path.join(disk, "j.json"),
                                        "--points", os.path.join(disk, "p.csv"))
        self.assertEqual((code, err), (1, "patchview-measure: cannot write %s/p.csv: No space "
                                          "left on device\n" % disk))
        self.assertEqual(os.listdir(disk), [])

    def test_a_folder_on_exfat(self):
        self.needs_root()
        image, mount = self.path("stick.img"), self.path("stick")
        with open(image, "wb") as f:
            f.truncate(16 << 20)
        os.mkdir(mount)
        loop = None
        try:
            subprocess.run(["mkfs.exfat", image], check=True, capture_output=True)
            # Another test run may take the free loop device first.
            for _ in range(5):
                attach = subprocess.run(["losetup", "-f", "--show", image],
                                        capture_output=True, text=True)
                loop = attach.stdout.strip() if attach.returncode == 0 else None
                if loop:
                    break
        except OSError as e:
            self.skipTest("no exFAT image can be made here: %s" % e)
        if not loop:
            self.skipTest("no loop device here")
        self.addCleanup(subprocess.run, ["losetup", "-d", loop])
        if subprocess.run(["mount.exfat-fuse", loop, mount], capture_output=True).returncode:
            self.skipTest("exFAT cannot be mounted here")
        self.addCleanup(subprocess.run, ["umount", mount])
        # No exchange, no hard links: every run still replaces the set.
        for frames in ("3", "2"):
            code, _, err = self.run_program("recorder", "--frames", frames, "--size", "32x32",
                                            "--png-frames", "--out", mount, key=b"2")
            self.assertEqual(code, 0, err)
        self.assertEqual(sorted(os.listdir(mount)), [
            "patchview-cubic-000.png", "patchview-cubic-001.png", "patchview-cubic.gif",
            "patchview-cubic.png"])
        # Names that differ only in case are one file there.
        code, _, err = self.run_program("measure", "--json", "R.json", "--points", "r.json",
                                        cwd=mount)
        self.assertEqual((code, err.count("\n")), (2, 1), err)
        self.assertIn("name the same file", err)


if __name__ == "__main__":
    PROGRAMS = {"recorder": os.path.abspath(sys.argv.pop(1)),
                "measure": os.path.abspath(sys.argv.pop(1))}
    unittest.main()

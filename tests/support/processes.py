# Helpers of the programs' end-to-end tests: what a running program is
# writing, and other users played by child processes (as root).

import glob
import os

# Two ordinary users without accounts: the kernel needs only their numbers.
USER_A = 4201
USER_B = 4202


def files_under_way(pid, folder):
    """The new files that process pid holds for folder: nameless ones open in
    it, or named ones in its private folder."""
    found = glob.glob(os.path.join(folder, ".patchview-*", "*"))
    try:
        for fd in os.listdir("/proc/%d/fd" % pid):
            target = os.readlink("/proc/%d/fd/%s" % (pid, fd))
            if target.startswith(os.path.join(folder, "#")):
                found.append("/proc/%d/fd/%s" % (pid, fd))
    except OSError:
        pass  # the process is gone
    return found


def as_user(uid):
    """A preexec_fn that runs the child as user uid."""
    def become():
        os.setgroups([])
        os.setgid(uid)
        os.setuid(uid)
    return become

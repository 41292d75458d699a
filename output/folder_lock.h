#pragma once
// The lock that keeps two runs from committing into one folder at once. A
// run waits while another holds it, for at most lockWaitMs, but never for a
// holder that could not write into the folder (anyone who may read a folder
// may lock it): such a lock is passed over. The writer's checks at the commit
// keep a set whole without the lock too; the lock only makes a second run
// wait its turn instead of failing.

#include <sys/stat.h>

#include <string>

namespace output {

// How long a commit waits for another run's commit into the same folder
// (the tests shorten it).
constexpr int DefaultLockWaitMs = 30000;
extern int lockWaitMs;
// How often a waiting commit tries the lock again.
constexpr int LockPollMs = 20;

// Takes the lock of the folder open (for reading) at fd. Returns true with
// held telling whether it holds the lock (not where the file system has no
// locks, nor when the holder was passed over), or false with error when it
// waited in vain.
bool lockFolder(int fd, const std::string& shown, bool& held, std::string& error);

// Whether the process pid could write into a folder with the status folder
// (by its file system user and groups and the folder's mode); true when that
// cannot be read.
bool processMayWrite(long pid, const struct stat& folder);

}  // namespace output

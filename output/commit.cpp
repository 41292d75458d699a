#include "output/commit.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

#include "output/endings.h"
#include "output/file_ops.h"
#include "output/folder_lock.h"
#include "output/journal.h"
#include "output/names.h"
#include "output/state.h"

int (*outputRenameFault)(const std::string& path) = nullptr;
bool outputWithoutExchange = false;

namespace output {
namespace {

std::string whatIs(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    if (S_ISFIFO(mode)) {
        return "a named pipe";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return "a socket";  // the last kind that is not a file
}

// Six letters that another user cannot guess, to name a private folder.
std::string randomSuffix() {
    constexpr std::string_view Letters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;  // the kernel's random numbers
    std::string suffix;
    while (suffix.size() < 6) {
        suffix += Letters[random() % Letters.size()];
    }
    return suffix;
}

}  // namespace

}  // namespace output

using output::Entry;
using output::Folder;
using output::Held;
using output::Target;

bool OutputSet::State::makePrivate(std::size_t f, std::string& error) {
    Folder& folder = folders[f];
    if (folder.privateFd != -1) {
        return true;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = output::PrivatePrefix + output::randomSuffix();
        if (mkdirat(folder.fd, name.c_str(), output::PrivateFolderMode) != 0) {
            if (errno == EEXIST) {
                continue;
            }
            error = output::because("cannot write into " + folder.shown, errno);
            return false;
        }
        // Locked, it is ours: another run's clean-up removes only unlocked
        // ones, and may have removed this one before the lock.
        output::Fd fd(
            openat(folder.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat held = {};
        struct stat there = {};
        if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && fstat(fd.get(), &held) == 0 &&
            output::statAt(folder.fd, name, there) && there.st_ino == held.st_ino) {
            folder.privateName = name;
            folder.privateFd = fd.release();
            return true;
        }
    }
    error = "cannot write into " + folder.shown + ": no private folder could be made there";
    return false;
}

bool OutputSet::State::nameTemporary(Target& t, std::string& error) {
    if (t.tempFd == -1) {
        return true;
    }
    if (!makePrivate(t.folder, error)) {
        return false;
    }
    const Folder& f = folders[t.folder];
    const std::string temporary = std::to_string(&t - targets.data());
    const std::string proc = "/proc/self/fd/" + std::to_string(t.tempFd);
    if (linkat(AT_FDCWD, proc.c_str(), f.privateFd, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        error = output::because("cannot write " + t.shown, errno);
        return false;
    }
    t.temporary = temporary;
    ::close(t.tempFd);
    t.tempFd = -1;
    --keptDescriptors;
    return true;
}

void OutputSet::State::clearPrivate() {
    for (Folder& f : folders) {
        output::removePrivate(f.fd, f.privateName, f.privateFd);  // without one, fails harmlessly
        ::close(f.privateFd);
        f.privateFd = -1;
        f.privateName.clear();
    }
}

namespace output {

bool sameNewNames(OutputSet::State& s, std::size_t f, std::size_t& a, std::size_t& b) {
    Held held;
    std::string error;
    if (!s.makePrivate(f, error)) {
        return false;  // the commit says why, if it fails too
    }
    const int fd = s.folders[f].privateFd;
    // Each new name gets a file there that holds its target's number: a name
    // that the folder takes for an earlier one finds that one's number.
    bool found = false;
    for (std::size_t n = 0; !found && n < s.targets.size(); ++n) {
        const Target& t = s.targets[n];
        if (t.kind != Kind::Replace || t.folder != f || t.exists) {
            continue;
        }
        Fd file(
            openat(fd, t.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, PrivateFileMode));
        if (file.get() != -1) {
            writeAll(file.get(), std::to_string(n));
            continue;
        }
        file.reset(openat(fd, t.name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        const std::string earlier = readAll(file.get());
        found = !earlier.empty() && earlier.find_first_not_of("0123456789") == std::string::npos;
        a = found ? std::stoul(earlier) : a;
        b = n;
    }
    s.clearPrivate();
    return found;
}

namespace {

// Replaces target t's name with its new file, or refuses with error; on
// refusal t's name is as it was.
bool replace(OutputSet::State& s, const Target& t, std::string& error) {
    const Folder& f = s.folders[t.folder];
    const std::string& name = t.name;
    const std::string& temporary = t.temporary;
    if (outputRenameFault != nullptr) {
        if (const int fault = outputRenameFault(t.given)) {
            error = because("cannot replace " + t.shown, fault);
            return false;
        }
    }
    const std::string changed = "cannot replace " + t.shown + ": it changed while it was replaced";
    if (!t.exists) {
        if (renameNoReplace(f.privateFd, temporary, f.fd, name)) {
            return true;
        }
        error = errno == EEXIST
                    ? "cannot replace " + t.shown + ": something was put there after the check"
                    : because("cannot replace " + t.shown, errno);
        return false;
    }
    // The old file and the new one change names at once: the old one is
    // then the temporary, checked, and put back or removed.
    if (!outputWithoutExchange &&
        renameat2(f.privateFd, temporary.c_str(), f.fd, name.c_str(), RENAME_EXCHANGE) == 0) {
        if (fileAt(f.privateFd, temporary) == t.checked.st_ino) {
            return true;
        }
        renameat2(f.privateFd, temporary.c_str(), f.fd, name.c_str(), RENAME_EXCHANGE);
        error = changed;
        return false;
    }
    if (!outputWithoutExchange && !unsupported(errno)) {
        error = because("cannot replace " + t.shown, errno);
        return false;
    }
    // Without an exchange the old file goes aside, and comes back the same way.
    const std::string aside = asideOf(temporary);
    if (renameat(f.fd, name.c_str(), f.privateFd, aside.c_str()) != 0) {
        error = errno == ENOENT ? changed : because("cannot replace " + t.shown, errno);
        return false;
    }
    if (fileAt(f.privateFd, aside) != t.checked.st_ino) {
        renameNoReplace(f.privateFd, aside, f.fd, name);
        error = changed;
        return false;
    }
    if (!renameNoReplace(f.privateFd, temporary, f.fd, name)) {
        error = because("cannot replace " + t.shown, errno);
        return false;  // the old file comes back with the rest, by the journal
    }
    return true;
}

// Whether the user may replace or remove what has the status info in the
// folder f (nullptr: a new name), shown as shown.
bool mayReplace(const Folder& f, const struct stat* info, const std::string& shown,
                std::string& error) {
    if (faccessat(f.fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        error = because("cannot replace " + shown, errno);
        return false;
    }
    // In a sticky folder only the owner of the file or of the folder may
    // replace it (root may always).
    struct stat here = {};
    const uid_t me = geteuid();
    if (info != nullptr && fstat(f.fd, &here) == 0 && (here.st_mode & S_ISVTX) != 0 && me != 0 &&
        info->st_uid != me && here.st_uid != me) {
        error = "cannot replace " + shown + ": another user owns it in a sticky folder";
        return false;
    }
    return true;
}

// Checks target t's name again, under the lock: a regular file the user may
// replace, or nothing.
bool recheck(const OutputSet::State& s, Target& t, std::string& error) {
    const Folder& f = s.folders[t.folder];
    struct stat info = {};
    t.exists = statAt(f.fd, t.name, info);
    if (t.exists && !S_ISREG(info.st_mode)) {
        error = "cannot replace " + t.shown + ": " + whatIs(info.st_mode) + " is there now";
        return false;
    }
    t.checked = info;
    return mayReplace(f, t.exists ? &info : nullptr, t.shown, error);
}

// Gives the new file the old one's owner and group (as far as the user may)
// and permission bits.
void keepOwnerAndMode(int privateFd, const Target& t) {
    const char* temporary = t.temporary.c_str();
    // Only root may give a file away; a group the user is not in is refused.
    const uid_t owner = geteuid() == 0 ? t.checked.st_uid : static_cast<uid_t>(-1);
    fchownat(privateFd, temporary, owner, t.checked.st_gid, AT_SYMLINK_NOFOLLOW);
    fchmodat(privateFd, temporary, t.checked.st_mode & 07777, 0);
}

struct Locks {
    std::vector<int> fds;
    ~Locks() {
        for (int fd : fds) {
            flock(fd, LOCK_UN);
        }
    }
};

}  // namespace

bool commitSet(OutputSet::State& s, std::string& error) {
    if (!s.prepared) {
        error = "nothing prepared to commit";
        return false;
    }
    for (const Target& t : s.targets) {
        if (t.kind == Kind::Replace && !t.written) {
            error = because("cannot write " + t.shown, ENOENT);
            return false;
        }
    }
    std::vector<std::size_t> ruleFolders;
    for (const StaleRule& rule : s.staleRules) {
        Resolved folder;
        if (!resolve(rule.folder + "/", printable(rule.folder), false, nullptr, folder, error)) {
            return false;
        }
        ruleFolders.push_back(s.addFolder(folder.folderFd, printable(rule.folder)));
    }

    // One commit at a time per folder, in the order of the folders' inodes
    // so that two runs never wait for each other.
    std::vector<std::size_t> order;
    for (std::size_t f = 0; f < s.folders.size(); ++f) {
        order.push_back(f);
    }
    std::sort(order.begin(), order.end(), [&s](std::size_t a, std::size_t b) {
        return std::make_pair(s.folders[a].id.dev, s.folders[a].id.ino) <
               std::make_pair(s.folders[b].id.dev, s.folders[b].id.ino);
    });
    Locks locks;
    for (std::size_t f : order) {
        bool held = false;
        if (s.folders[f].readable &&
            !lockFolder(s.folders[f].fd, s.folders[f].shown, held, error)) {
            return false;
        }
        if (held) {
            locks.fds.push_back(s.folders[f].fd);
        }
    }

    Held held;
    bool done = true;
    for (Target& t : s.targets) {
        if (t.kind == Kind::Replace) {
            done = done && recheck(s, t, error);
        } else if (t.kind == Kind::InPlace) {
            struct stat info = {};
            if (done &&
                (!statAt(t.placeFd, t.name, info) || identityOf(info) != identityOf(t.checked))) {
                error = "cannot write " + t.shown + ": something else is there now";
                done = false;
            }
        }
    }
    // The stale names, found under the lock so that no other run adds any.
    std::vector<std::vector<Entry>> plan(s.folders.size());
    for (std::size_t r = 0; done && r < s.staleRules.size(); ++r) {
        const std::size_t f = ruleFolders[r];
        for (const std::string& found : namesIn(s.folders[f].fd)) {
            struct stat info = {};
            const bool ours = std::any_of(s.targets.begin(), s.targets.end(), [&](const Target& t) {
                return t.kind == Kind::Replace && t.folder == f && t.name == found;
            });
            if (ours || !s.staleRules[r].stale(found) || !statAt(s.folders[f].fd, found, info) ||
                !(S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))) {
                continue;
            }
            done =
                mayReplace(s.folders[f], &info, printable(s.folders[f].shown + "/" + found), error);
            Entry e;
            e.op = 'S';
            e.temporary = "stale-" + std::to_string(plan[f].size());
            e.name = found;
            e.old = info.st_ino;
            plan[f].push_back(e);
        }
    }
    // Every new file named in its private folder, with the old file's owner
    // and mode, and the journal of each folder.
    for (std::size_t n = 0; done && n < s.targets.size(); ++n) {
        Target& t = s.targets[n];
        if (t.kind != Kind::Replace) {
            continue;
        }
        done = s.nameTemporary(t, error);
        const Folder& f = s.folders[t.folder];
        if (done && t.exists) {
            keepOwnerAndMode(f.privateFd, t);
        }
        Entry e;
        e.op = t.exists ? 'R' : 'N';
        e.temporary = t.temporary;
        e.name = t.name;
        e.made = fileAt(f.privateFd, t.temporary);
        e.old = t.checked.st_ino;  // 0 for a new name
        plan[t.folder].push_back(e);
    }
    for (std::size_t f = 0; done && f < s.folders.size(); ++f) {
        if (!plan[f].empty() &&
            (!s.makePrivate(f, error) || !writeJournal(s.folders[f].privateFd, plan[f]))) {
            error =
                error.empty() ? because("cannot write into " + s.folders[f].shown, errno) : error;
            done = false;
        }
    }
    std::string replaceError;
    if (done) {
        // The stale names go aside first, then every file is put in place.
        for (std::size_t f = 0; done && f < s.folders.size(); ++f) {
            for (const Entry& e : plan[f]) {
                if (!done || e.op != 'S') {
                    continue;
                }
                const Folder& folder = s.folders[f];
                struct stat info = {};
                if (renameat(folder.fd, e.name.c_str(), folder.privateFd, e.temporary.c_str()) !=
                    0) {
                    if (errno != ENOENT) {
                        error = because("cannot remove " + printable(folder.shown + "/" + e.name),
                                        errno);
                        done = false;
                    }
                } else if (!statAt(folder.privateFd, e.temporary, info) || info.st_ino != e.old) {
                    renameNoReplace(folder.privateFd, e.temporary, folder.fd, e.name);
                    error = "cannot remove " + printable(folder.shown + "/" + e.name) +
                            ": it changed while it was removed";
                    done = false;
                }
            }
        }
        for (std::size_t n = 0; done && n < s.targets.size(); ++n) {
            if (s.targets[n].kind == Kind::Replace) {
                done = replace(s, s.targets[n], error);
            }
        }
    }
    if (done) {
        for (const Folder& f : s.folders) {
            if (f.readable && !synced(f.fd)) {
                // The names are in place; only their durability is in doubt.
                s.say(because("could not sync the folder " + f.shown, errno));
            }
        }
        s.kept = true;
    } else {  // undo what was done, as the journal lists it
        std::string lost;
        for (std::size_t f = s.folders.size(); f-- > 0;) {
            for (auto e = plan[f].rbegin(); e != plan[f].rend(); ++e) {
                if (rollBack(s.folders[f].fd, s.folders[f].privateFd, *e) < 0) {
                    lost += ", " + printable(s.folders[f].shown + "/" + e->name);
                }
            }
        }
        if (!lost.empty()) {
            // Kept with its journal, for a later run to put back.
            error += "; could not put back the old " + lost.substr(2) +
                     ", which a later run into the folder puts back";
            for (Folder& f : s.folders) {
                ::close(f.privateFd);
                f.privateFd = -1;
                f.privateName.clear();
            }
            return false;
        }
    }
    if (!done) {
        error += "; nothing was replaced";
    }
    // The journal goes, durably, before anything else of the private
    // folder: after a crash a journal is there only for an unfinished commit.
    for (const Folder& f : s.folders) {
        if (f.privateFd != -1 && unlinkat(f.privateFd, JournalName, 0) == 0) {
            synced(f.privateFd);
        }
    }
    s.clearPrivate();
    return done;  // the folders made go with the set, unless it is kept
}

}  // namespace output

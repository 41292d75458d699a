#include "output/journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "output/file_ops.h"
#include "output/state.h"

namespace output {
namespace {

// Stale names may be links: their entries compare any kind of inode.
int rollBackStale(int folder, int privateFd, const Entry& e) {
    struct stat aside = {};
    struct stat info = {};
    if (statAt(privateFd, e.temporary, aside) && aside.st_ino == e.old &&
        !statAt(folder, e.name, info)) {
        return renameNoReplace(privateFd, e.temporary, folder, e.name) ? 1 : -1;
    }
    return 0;
}

std::string journalText(const std::vector<Entry>& entries) {
    std::string text;
    for (const Entry& e : entries) {
        for (const std::string& field : {std::string(1, e.op), e.temporary, e.name,
                                         std::to_string(e.made), std::to_string(e.old)}) {
            text += field;
            text += '\0';
        }
    }
    return text;
}

bool plainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The entries of a journal; false when it is not one that this writer made.
bool parseJournal(const std::string& text, std::vector<Entry>& entries) {
    std::vector<std::string> fields;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\0', start);
        if (end == std::string::npos) {
            return false;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (fields.size() % 5 != 0) {
        return false;
    }
    for (std::size_t k = 0; k < fields.size(); k += 5) {
        Entry e;
        const std::string& op = fields[k];
        if (op.size() != 1 || std::string("RNS").find(op[0]) == std::string::npos ||
            !plainName(fields[k + 1]) || !plainName(fields[k + 2]) ||
            fields[k + 3].find_first_not_of("0123456789") != std::string::npos ||
            fields[k + 4].find_first_not_of("0123456789") != std::string::npos ||
            fields[k + 3].empty() || fields[k + 4].empty()) {
            return false;
        }
        e.op = op[0];
        e.temporary = fields[k + 1];
        e.name = fields[k + 2];
        e.made = static_cast<ino_t>(std::stoull(fields[k + 3]));
        e.old = static_cast<ino_t>(std::stoull(fields[k + 4]));
        entries.push_back(e);
    }
    return true;
}

// Undoes entry e, as far as it was done, judging by the inodes at its names:
// 1 when something was put back, 0 when nothing had been done, -1 on failure.
int rollBackFile(int folder, int privateFd, const Entry& e) {
    // The new file at the name goes back to the private folder (an exchange
    // brings the old one back with it).
    const bool madeThere = fileAt(folder, e.name) == e.made && e.made != 0;
    if (madeThere && e.op == 'R' && fileAt(privateFd, e.temporary) == e.old) {
        return renameat2(privateFd, e.temporary.c_str(), folder, e.name.c_str(), RENAME_EXCHANGE) ==
                       0
                   ? 1
                   : -1;
    }
    if (madeThere && !renameNoReplace(folder, e.name, privateFd, e.temporary)) {
        return -1;
    }
    // An old file moved aside without an exchange comes back the same way.
    const std::string aside = asideOf(e.temporary);
    if (e.op == 'R' && fileAt(folder, e.name) == 0 && fileAt(privateFd, aside) == e.old) {
        return renameNoReplace(privateFd, aside, folder, e.name) ? 1 : -1;
    }
    return madeThere ? 1 : 0;
}

}  // namespace

std::string asideOf(const std::string& temporary) {
    return temporary + ".old";
}

int rollBack(int folder, int privateFd, const Entry& e) {
    return e.op == 'S' ? rollBackStale(folder, privateFd, e) : rollBackFile(folder, privateFd, e);
}

bool writeJournal(int privateFd, const std::vector<Entry>& entries) {
    const Fd fd(openat(privateFd, JournalName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                       PrivateFileMode));
    return fd.get() != -1 && writeAll(fd.get(), journalText(entries)) && synced(fd.get()) &&
           synced(privateFd);
}

void recoverLeftovers(OutputSet::State& s, std::size_t f) {
    const Folder& folder = s.folders[f];
    int runs = 0;
    int putBack = 0;
    int failed = 0;
    for (const std::string& name : namesIn(folder.fd)) {
        if (name.compare(0, sizeof PrivatePrefix - 1, PrivatePrefix) != 0 ||
            name == folder.privateName) {
            continue;
        }
        const Fd fd(
            openat(folder.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat info = {};
        struct stat there = {};
        // Only the user's own, whose run is gone (its lock free), still there.
        if (fstat(fd.get(), &info) != 0 || info.st_uid != geteuid() ||
            flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || !statAt(folder.fd, name, there) ||
            there.st_ino != info.st_ino) {
            continue;
        }
        std::vector<Entry> entries;
        const Fd journal(openat(fd.get(), JournalName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        // A journal that is not whole was cut short before it was synced,
        // and so before the first change: there is nothing to undo.
        if (journal.get() != -1 && !parseJournal(readAll(journal.get()), entries)) {
            entries.clear();
        }
        bool whole = true;
        for (auto e = entries.rbegin(); whole && e != entries.rend(); ++e) {
            const int result = rollBack(folder.fd, fd.get(), *e);
            whole = result >= 0;
            putBack += std::max(result, 0);
        }
        if (whole) {
            synced(folder.fd);
            removePrivate(folder.fd, name, fd.get());
            ++runs;
        } else {
            ++failed;  // kept for a later try, with what it holds
        }
    }
    if (runs > 0) {
        std::string line = "cleaned up after " +
                           (runs == 1 ? std::string("an unfinished run")
                                      : std::to_string(runs) + " unfinished runs") +
                           " in " + folder.shown;
        if (putBack > 0) {
            line += putBack == 1
                        ? ", putting back 1 file as it was"
                        : ", putting back " + std::to_string(putBack) + " files as they were";
        }
        s.say(line);
    }
    if (failed > 0) {
        s.say("could not clean up after an unfinished run in " + folder.shown);
    }
}

}  // namespace output

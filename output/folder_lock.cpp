#include "output/folder_lock.h"

#include <sys/file.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace output {

int lockWaitMs = DefaultLockWaitMs;

namespace {

// The processes that hold a whole-file lock on the file with status info,
// from the kernel's list of locks; empty when that cannot be read.
std::vector<long> lockHolders(const struct stat& info) {
    std::vector<long> holders;
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, file;
        long pid{};
        fields >> number >> kind;
        if (kind == "->") {
            continue;  // waiting, not holding
        }
        fields >> mode >> access >> pid >> file;
        unsigned major{}, minor{};
        unsigned long long inode{};
        if (kind == "FLOCK" &&
            std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &inode) == 3 &&
            major == ::major(info.st_dev) && minor == ::minor(info.st_dev) &&
            inode == static_cast<unsigned long long>(info.st_ino)) {
            holders.push_back(pid);
        }
    }
    return holders;
}

}  // namespace

bool processMayWrite(long pid, const struct stat& folder) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    // Real, effective, saved and file system ids: access goes by the last.
    std::vector<long> uids, gids, groups;
    for (std::string line; std::getline(status, line);) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        std::vector<long>* values = key == "Uid:"      ? &uids
                                    : key == "Gid:"    ? &gids
                                    : key == "Groups:" ? &groups
                                                       : nullptr;
        for (long value{}; values != nullptr && fields >> value;) {
            values->push_back(value);
        }
    }
    // Unknown (gone, or hidden from us): assume it may; so may root.
    if (uids.empty() || gids.empty() || uids.back() == 0) {
        return true;
    }
    const long uid = uids.back();
    const long gid = gids.back();
    if (uid == static_cast<long>(folder.st_uid)) {
        return (folder.st_mode & S_IWUSR) != 0;
    }
    const long group = static_cast<long>(folder.st_gid);
    if (gid == group || std::find(groups.begin(), groups.end(), group) != groups.end()) {
        return (folder.st_mode & S_IWGRP) != 0;
    }
    return (folder.st_mode & S_IWOTH) != 0;
}

bool lockFolder(int fd, const std::string& shown, bool& held, std::string& error) {
    held = false;
    struct stat info = {};
    fstat(fd, &info);
    for (int waited = 0;; waited += LockPollMs) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            held = true;
            return true;
        }
        if (errno != EWOULDBLOCK) {
            return true;  // no locks here: the checks at the commit keep the set whole
        }
        const std::vector<long> holders = lockHolders(info);
        const long me = getpid();
        if (!holders.empty() && std::none_of(holders.begin(), holders.end(), [&](long pid) {
                return pid == me || processMayWrite(pid, info);
            })) {
            return true;  // held by someone who cannot commit here: not waited for
        }
        if (waited >= lockWaitMs) {
            error = "cannot write into " + shown + ": another run is still writing its files there";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(LockPollMs));
    }
}

}  // namespace output

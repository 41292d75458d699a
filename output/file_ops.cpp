#include "output/file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int (*outputSyncFault)(int fd) = nullptr;
ssize_t (*outputWrite)(int fd, const void* data, std::size_t size) = write;

namespace output {

std::string because(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

bool statAt(int fd, const std::string& name, struct stat& info) {
    return fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// The inode at name, if a regular file is there; 0 otherwise.
ino_t fileAt(int fd, const std::string& name) {
    struct stat info = {};
    return statAt(fd, name, info) && S_ISREG(info.st_mode) ? info.st_ino : 0;
}

bool unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// Renames without replacing anything; where the file system lacks that, a
// rename after checking that nothing is there.
bool renameNoReplace(int fromFd, const std::string& from, int toFd, const std::string& to) {
    if (renameat2(fromFd, from.c_str(), toFd, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (!unsupported(errno)) {
        return false;
    }
    struct stat info = {};
    if (statAt(toFd, to, info)) {
        errno = EEXIST;
        return false;
    }
    return renameat(fromFd, from.c_str(), toFd, to.c_str()) == 0;
}

std::size_t writeFully(int fd, const char* data, std::size_t size, int& error) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = outputWrite(fd, data + done, size - done);
        if (wrote > 0) {
            done += static_cast<std::size_t>(wrote);
        } else if (wrote == 0 || errno != EINTR) {
            // A write that takes nothing would never end.
            error = wrote == 0 ? EIO : errno;
            errno = error;
            break;
        }
    }
    return done;
}

bool writeAll(int fd, const std::string& text) {
    int error{};
    return writeFully(fd, text.data(), text.size(), error) == text.size();
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

// Syncs fd; a file system that cannot sync says so with EINVAL.
bool synced(int fd) {
    if (outputSyncFault != nullptr) {
        if (const int fault = outputSyncFault(fd)) {
            errno = fault;
            return false;
        }
    }
    return fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
}

// The names in the folder open at fd ("." and ".." left out).
std::vector<std::string> namesIn(int fd) {
    std::vector<std::string> names;
    // A descriptor of its own, which closedir closes.
    DIR* dir = fdopendir(openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    closedir(dir);
    return names;
}

// Empties the private folder open at fd and removes it from folder.
void removePrivate(int folder, const std::string& name, int fd) {
    for (const std::string& entry : namesIn(fd)) {
        unlinkat(fd, entry.c_str(), 0);
    }
    unlinkat(folder, name.c_str(), AT_REMOVEDIR);
}

}  // namespace output

#pragma once
// Small operations on names in open folders that the writer's commit and
// clean-up share. None follows a link at the last component.

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>

#include <string>
#include <vector>

namespace output {

// An open descriptor, closed when it goes.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    void reset(int fd = -1) {
        if (fd_ != -1) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// "what: the error's text".
std::string because(const std::string& what, int error);

// The status of name in the folder open at fd; false when there is none.
bool statAt(int fd, const std::string& name, struct stat& info);

// The inode of the regular file at name in the folder open at fd; 0 when
// there is none.
ino_t fileAt(int fd, const std::string& name);

// Whether error says that the file system lacks a kind of rename.
bool unsupported(int error);

// Renames without replacing anything; where the file system lacks that, a
// rename after checking that nothing is there. False with errno on failure.
bool renameNoReplace(int fromFd, const std::string& from, int toFd, const std::string& to);

// Writes size bytes from data, again where a write takes only some or is
// interrupted. Returns how many were written; fewer than size with error
// (and errno) set, EIO for a write that took nothing.
std::size_t writeFully(int fd, const char* data, std::size_t size, int& error);

// Writes all of text; false with errno otherwise.
bool writeAll(int fd, const std::string& text);
std::string readAll(int fd);

// Syncs fd; a file system that cannot sync counts as synced.
bool synced(int fd);

// The names in the folder open at fd ("." and ".." left out).
std::vector<std::string> namesIn(int fd);

// Empties the private folder open at fd, called name in folder, and removes
// it.
void removePrivate(int folder, const std::string& name, int fd);

}  // namespace output

#include "output/names.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>

#include "output/file_ops.h"

namespace output {

std::string printable(const std::string& name) {
    static const char Hex[] = "0123456789abcdef";
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            shown += "\\x";
            shown += Hex[byte >> 4];
            shown += Hex[byte & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string userName(uid_t uid) {
    // Names are resolved on one thread.
    if (const passwd* entry = getpwuid(uid)) {
        return printable(entry->pw_name);
    }
    return "user " + std::to_string(uid);
}

namespace {

constexpr int MaxLinks = 40;  // as the kernel allows

std::string joined(const std::string& where, const std::string& name) {
    if (where.empty()) {
        return name;
    }
    return where.back() == '/' ? where + name : where + "/" + name;
}

std::deque<std::string> components(const std::string& path) {
    std::deque<std::string> parts;
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = path.find('/', start);
        end = end == std::string::npos ? path.size() : end;
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

// Whether dir is this process's (or this thread's) folder of descriptors,
// whose links the kernel resolves to the open files themselves.
bool ownDescriptorFolder(int dir) {
    struct stat here = {};
    if (fstat(dir, &here) != 0) {
        return false;
    }
    for (const char* path : {"/proc/self/fd", "/proc/thread-self/fd"}) {
        struct stat info = {};
        if (stat(path, &info) == 0 && info.st_dev == here.st_dev && info.st_ino == here.st_ino) {
            return true;
        }
    }
    return false;
}

// A link's text, which the kernel keeps shorter than PATH_MAX.
bool readLink(int link, std::string& text) {
    char buffer[PATH_MAX];
    const ssize_t size = readlinkat(link, "", buffer, sizeof buffer);
    if (size < 0) {
        return false;
    }
    text.assign(buffer, static_cast<std::size_t>(size));
    return true;
}

// The descriptor number a name in a folder of descriptors stands for.
int descriptorNumber(const std::string& name) {
    if (name.empty() || name.size() > 9 ||
        name.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::stoi(name);
}

}  // namespace

bool resolve(const std::string& path, const std::string& shown, bool makeFolders,
             std::vector<Made>* made, Resolved& out, std::string& error) {
    const std::string prefix = (makeFolders ? "cannot write into " : "cannot write ") + shown;
    const auto fail = [&](const std::string& why) {
        error = prefix + ": " + why;
        return false;
    };
    const auto failErrno = [&](int why) { return fail(std::strerror(why)); };
    if (path.empty()) {
        return failErrno(ENOENT);
    }
    // A name that ends in a slash names a folder.
    const bool folderWanted = makeFolders || path.back() == '/';
    std::deque<std::string> rest = components(path);
    Fd dir(::open(path[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::string where = path[0] == '/' ? "/" : "";
    if (dir.get() == -1) {
        return failErrno(errno);
    }
    int links = 0;
    while (!rest.empty()) {
        const std::string part = rest.front();
        rest.pop_front();
        const bool last = rest.empty();
        if (part == ".") {
            continue;
        }
        const std::string here = joined(where, part);
        Fd entry(openat(dir.get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        const bool missing = entry.get() == -1 && errno == ENOENT;
        if (missing && ownDescriptorFolder(dir.get())) {
            return failErrno(EBADF);
        }
        if (missing && makeFolders) {
            if (mkdirat(dir.get(), part.c_str(), 0777) == 0) {
                if (made != nullptr) {
                    made->push_back({fcntl(dir.get(), F_DUPFD_CLOEXEC, dir.get()), part});
                }
            } else if (errno != EEXIST) {
                error = "cannot create the folder " + printable(here) + ": " + std::strerror(errno);
                return false;
            }
            entry.reset(openat(dir.get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        }
        if (entry.get() == -1) {
            if (missing && last && !folderWanted) {  // a new name
                out.folderFd = dir.release();
                out.name = part;
                return true;
            }
            return failErrno(missing ? ENOENT : errno);
        }
        struct stat info = {};
        if (fstat(entry.get(), &info) != 0) {
            return failErrno(errno);
        }
        if (S_ISLNK(info.st_mode)) {
            if (ownDescriptorFolder(dir.get())) {
                const int number = descriptorNumber(part);
                struct stat open = {};
                if (number < 0 || fstat(number, &open) != 0) {
                    return failErrno(EBADF);
                }
                if (S_ISDIR(open.st_mode)) {
                    dir.reset(fcntl(number, F_DUPFD_CLOEXEC, number));
                    where = here;
                    continue;
                }
                if (!last || folderWanted) {
                    return failErrno(ENOTDIR);
                }
                if (S_ISBLK(open.st_mode)) {
                    return fail("a block device is never written");
                }
                out.kind = Resolved::Kind::Descriptor;
                out.descriptor = number;
                out.info = open;
                return true;
            }
            if (++links > MaxLinks) {
                return failErrno(ELOOP);
            }
            struct stat folder = {};
            if (fstat(dir.get(), &folder) != 0) {
                return failErrno(errno);
            }
            const mode_t shared = S_ISVTX | S_IWOTH;
            if ((folder.st_mode & shared) == shared && info.st_uid != geteuid() &&
                info.st_uid != folder.st_uid) {
                return fail("the link " + printable(here) + " belongs to " + userName(info.st_uid) +
                            ", and links of other users in a folder that everyone may write to "
                            "are not followed");
            }
            std::string text;
            if (!readLink(entry.get(), text)) {
                return failErrno(errno);
            }
            const std::deque<std::string> target = components(text);
            rest.insert(rest.begin(), target.begin(), target.end());
            if (text[0] == '/') {
                dir.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                where = "/";
            }
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            dir.reset(entry.release());
            where = here;
            continue;
        }
        if (!last || folderWanted) {
            return makeFolders ? fail("not a folder") : failErrno(ENOTDIR);
        }
        if (S_ISREG(info.st_mode)) {
            out.kind = Resolved::Kind::File;
        } else if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
            out.kind = Resolved::Kind::InPlace;
            out.pinned = entry.release();
        } else if (S_ISBLK(info.st_mode)) {
            return fail("a block device is never written");
        } else {
            return fail("a socket is not a file");
        }
        out.folderFd = dir.release();
        out.name = part;
        out.info = info;
        return true;
    }
    if (!folderWanted) {
        return failErrno(EISDIR);
    }
    out.kind = Resolved::Kind::Folder;
    if (fstat(dir.get(), &out.info) != 0) {
        return failErrno(errno);
    }
    out.folderFd = dir.release();
    return true;
}

}  // namespace output

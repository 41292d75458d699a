#include "output/output_set.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "output/commit.h"
#include "output/endings.h"
#include "output/file_ops.h"
#include "output/journal.h"
#include "output/names.h"
#include "output/state.h"

using output::because;
using output::Folder;
using output::Held;
using output::Kind;
using output::Resolved;
using output::Stream;
using output::Target;

namespace {

// A new file's mode before the umask; a replaced file takes the old one's.
constexpr mode_t NewFileMode = 0666;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Returns how many bytes were written: fewer than size is the stream's error.
ssize_t writeStream(void* cookie, const char* data, std::size_t size) {
    Stream& stream = *static_cast<Stream*>(cookie);
    int error = 0;
    const std::size_t done = output::writeFully(stream.fd, data, size, error);
    if (stream.error == 0) {
        stream.error = error;
    }
    return static_cast<ssize_t>(done);
}

int closeStream(void* cookie) {
    Stream& stream = *static_cast<Stream*>(cookie);
    const int closed = stream.keepFd ? 0 : ::close(stream.fd);
    if (closed != 0 && stream.error == 0) {
        stream.error = errno;
    }
    stream.fd = -1;
    return closed;
}

void closeIfOpen(int& fd) {
    ::close(fd);  // nothing to close is fine too
    fd = -1;
}

// Resolves every file of the set afresh.
bool resolveTargets(OutputSet::State& s, std::string& error) {
    for (std::size_t n = 0; n < s.targets.size(); ++n) {
        Target& t = s.targets[n];
        closeIfOpen(t.pinned);
        closeIfOpen(t.placeFd);
        if (t.given == "-") {
            t.kind = Kind::Descriptor;
            t.descriptor = STDOUT_FILENO;
            if (fstat(STDOUT_FILENO, &t.checked) != 0) {
                error = because("cannot write standard output", errno);
                return false;
            }
            continue;
        }
        Resolved r;
        if (!output::resolve(t.given, t.shown, false, nullptr, r, error)) {
            return false;
        }
        if (r.kind == Resolved::Kind::Folder) {
            ::close(r.folderFd);
            error = because("cannot write " + t.shown, EISDIR);
            return false;
        }
        t.name = r.name;
        t.checked = r.info;
        t.exists = r.kind == Resolved::Kind::File;
        switch (r.kind) {
            case Resolved::Kind::Descriptor:
                t.kind = Kind::Descriptor;
                t.descriptor = r.descriptor;
                break;
            case Resolved::Kind::InPlace:
                t.kind = Kind::InPlace;
                t.pinned = r.pinned;
                t.placeFd = r.folderFd;
                break;
            default:
                t.kind = Kind::Replace;
                t.folder = s.addFolder(r.folderFd, output::printable(folderOf(t.given)));
                break;
        }
    }
    return true;
}

}  // namespace

std::string printableText(const std::string& text) {
    return output::printable(text);
}

std::size_t OutputSet::State::addFolder(int fd, const std::string& shown) {
    struct stat info = {};
    fstat(fd, &info);
    for (std::size_t index = 0; index < folders.size(); ++index) {
        if (folders[index].id == output::identityOf(info)) {
            ::close(fd);
            return index;
        }
    }
    Folder folder;
    folder.shown = shown;
    folder.id = output::identityOf(info);
    // Read access lets the folder be locked and synced; without it, the
    // path descriptor still reaches its names.
    const int readable = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    folder.readable = readable != -1;
    if (folder.readable) {
        ::close(fd);
        folder.fd = readable;
    } else {
        folder.fd = fd;
    }
    Held held;
    folders.push_back(folder);
    return folders.size() - 1;
}

// Async-signal-safe: the handler calls it.
void OutputSet::State::discard() {
    for (const Target& t : targets) {
        if (!t.temporary.empty()) {  // fails harmlessly once the private folder is gone
            unlinkat(folders[t.folder].privateFd, t.temporary.c_str(), 0);
        }
    }
    for (const Folder& f : folders) {
        unlinkat(f.fd, f.privateName.c_str(), AT_REMOVEDIR);  // fails harmlessly without one
    }
    for (auto made = madeFolders.rbegin(); made != madeFolders.rend(); ++made) {
        unlinkat(made->parentFd, made->name.c_str(), AT_REMOVEDIR);
    }
}

void OutputSet::State::say(const std::string& line) const {
    std::fprintf(stderr, "%s: %s\n", program.c_str(), output::printable(line).c_str());
}

OutputSet::OutputSet(const std::string& program) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.program = program;
    // A closed standard stream gets /dev/null opened the other way round:
    // its writes (or reads) still fail, and no file of ours takes its place.
    // Filled in order, each is the lowest free descriptor that open takes.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1) {  // EBADF, its only error here
            ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        }
    }
    // Nameless files are linked into place through /proc; each one written
    // holds a descriptor until the commit, as many as the limit allows.
    struct stat proc = {};
    s.nameless = stat("/proc/self/fd", &proc) == 0;
    getrlimit(RLIMIT_NOFILE, &s.openFiles);
    rlimit raised = s.openFiles;
    raised.rlim_cur = raised.rlim_max;
    setrlimit(RLIMIT_NOFILE, &raised);  // raising the soft limit to the hard one always works
    // Half the descriptors at most; the program keeps the rest.
    s.descriptorBudget = raised.rlim_cur / 2;
    s.endings = std::make_unique<output::Endings>(s);
}

OutputSet::~OutputSet() {
    State& s = *state_;
    {
        Held held;
        if (!s.kept) {
            s.discard();
        }
        for (Folder& f : s.folders) {
            closeIfOpen(f.privateFd);
            closeIfOpen(f.fd);
        }
        for (Target& t : s.targets) {
            closeIfOpen(t.pinned);
            closeIfOpen(t.placeFd);
            closeIfOpen(t.tempFd);
        }
        for (output::MadeFolder& made : s.madeFolders) {
            closeIfOpen(made.parentFd);
        }
    }
    s.endings.reset();
    setrlimit(RLIMIT_NOFILE, &s.openFiles);
}

bool OutputSet::makeFolder(const std::string& folder, std::string& error) {
    State& s = *state_;
    const std::string shown = output::printable(folder);
    std::vector<output::Made> made;
    Resolved r;
    bool resolved = false;
    {
        // A signal meanwhile still finds every folder made, to remove it.
        Held held;
        resolved = output::resolve(folder, shown, true, &made, r, error);
        for (const output::Made& m : made) {
            s.madeFolders.push_back({m.parentFd, m.name});
        }
    }
    if (!resolved) {
        return false;
    }
    if (faccessat(r.folderFd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        error = because("cannot write into " + shown, errno);
        ::close(r.folderFd);
        return false;
    }
    s.addFolder(r.folderFd, shown);
    return true;
}

std::size_t OutputSet::add(const std::string& path) {
    Target target;
    target.given = path;
    target.shown = path == "-" ? "standard output" : output::printable(path);
    Held held;
    state_->targets.push_back(target);
    return state_->targets.size() - 1;
}

void OutputSet::removeStale(const std::string& folder,
                            std::function<bool(const std::string&)> stale) {
    state_->staleRules.push_back({folder, std::move(stale)});
}

std::string OutputSet::name(std::size_t n) const {
    return state_->targets[n].shown;
}

OutputSet::Prepared OutputSet::prepare(std::string& error) {
    State& s = *state_;
    if (!resolveTargets(s, error)) {
        return Prepared::Failed;
    }
    // What earlier runs left half-committed is put right first; the commit
    // looks at every name it replaces again anyway.
    for (std::size_t f = 0; f < s.folders.size(); ++f) {
        output::recoverLeftovers(s, f);
    }
    const auto same = [&](std::size_t a, std::size_t b) {
        error = name(a) + " and " + name(b) + " are the same file";
        return Prepared::SameFile;
    };
    std::vector<std::size_t> newNames(s.folders.size());
    for (std::size_t b = 0; b < s.targets.size(); ++b) {
        const Target& y = s.targets[b];
        const bool yNew = y.kind == Kind::Replace && !y.exists;
        if (yNew) {
            ++newNames[y.folder];
        }
        for (std::size_t a = 0; a < b; ++a) {
            const Target& x = s.targets[a];
            const bool xNew = x.kind == Kind::Replace && !x.exists;
            if (xNew != yNew) {
                continue;
            }
            if (xNew ? x.folder == y.folder && x.name == y.name
                     : output::identityOf(x.checked) == output::identityOf(y.checked)) {
                return same(a, b);
            }
        }
    }
    for (std::size_t f = 0; f < s.folders.size(); ++f) {
        std::size_t a{};
        std::size_t b{};
        if (newNames[f] > 1 && output::sameNewNames(s, f, a, b)) {
            return same(a, b);
        }
    }
    s.prepared = true;
    return Prepared::Ready;
}

bool OutputSet::writesStandardOutput() const {
    struct stat out = {};
    if (fstat(STDOUT_FILENO, &out) != 0) {
        return false;
    }
    for (const Target& t : state_->targets) {
        if (t.kind == Kind::Descriptor &&
            output::identityOf(t.checked) == output::identityOf(out)) {
            return true;
        }
    }
    return false;
}

std::FILE* OutputSet::open(std::size_t n, std::string& error) {
    State& s = *state_;
    Target& t = s.targets[n];
    int fd = -1;
    struct stat info = {};
    const auto checkedFile = [&t](int opened) {
        struct stat now = {};
        return fstat(opened, &now) == 0 && output::identityOf(now) == output::identityOf(t.checked);
    };
    if (t.kind == Kind::Descriptor) {
        fd = fcntl(t.descriptor, F_DUPFD_CLOEXEC, t.descriptor);
    } else if (t.kind == Kind::InPlace) {
        // The very file checked: reopened through its pinned descriptor, and
        // only while its name still holds it. A pipe waits here for its
        // reader; a signal meanwhile ends the run.
        if (fstatat(t.placeFd, t.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            output::identityOf(info) != output::identityOf(t.checked)) {
            error = "cannot write " + t.shown + ": something else is there now";
            return nullptr;
        }
        const std::string pinned = "/proc/self/fd/" + std::to_string(t.pinned);
        fd = ::open(pinned.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd == -1 && errno == ENOENT) {
            fd = openat(t.placeFd, t.name.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
        }
    } else {
        Held held;
        Folder& f = s.folders[t.folder];
        if (s.nameless && !f.noTmpfiles) {
            fd = openat(f.fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, NewFileMode);
            f.noTmpfiles = fd == -1 && errno == EOPNOTSUPP;  // as the file system says
            if (fd != -1) {
                t.tempFd = fd;
                ++s.keptDescriptors;
            }
        }
        if (fd == -1 && (!s.nameless || f.noTmpfiles)) {
            if (!s.makePrivate(t.folder, error)) {
                return nullptr;
            }
            const std::string number = std::to_string(n);
            fd = openat(f.privateFd, number.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, NewFileMode);
            if (fd != -1) {
                t.temporary = number;
            }
        }
    }
    if (fd == -1) {
        error = because("cannot write " + t.shown, errno);
        return nullptr;
    }
    if (t.kind != Kind::Replace && !checkedFile(fd)) {
        ::close(fd);
        error = "cannot write " + t.shown + ": something else is there now";
        return nullptr;
    }
    t.stream = std::make_shared<Stream>();
    t.stream->fd = fd;
    t.stream->keepFd = fd == t.tempFd;
    std::FILE* file =
        fopencookie(t.stream.get(), "wb", {nullptr, writeStream, nullptr, closeStream});
    if (file == nullptr) {
        error = because("cannot write " + t.shown, errno);
        closeStream(t.stream.get());
    }
    return file;
}

bool OutputSet::close(std::size_t n, std::FILE* file, std::string& error) {
    State& s = *state_;
    Target& t = s.targets[n];
    Stream& stream = *t.stream;
    // A write or close that fails leaves its error in the stream.
    std::fflush(file);
    // A new file is on the disk before it is put in place.
    if (stream.error == 0 && t.kind == Kind::Replace && !output::synced(stream.fd)) {
        stream.error = errno;
    }
    std::fclose(file);
    if (stream.error != 0) {
        error = because("cannot write " + t.shown, stream.error);
        return false;
    }
    if (t.kind == Kind::Replace) {
        Held held;
        t.written = true;
        // Past the budget of descriptors, a file gets its name now.
        if (s.keptDescriptors > s.descriptorBudget && !s.nameTemporary(t, error)) {
            return false;
        }
    }
    return true;
}

bool OutputSet::commit(std::string& error) {
    return output::commitSet(*state_, error);
}

bool OutputSet::flushStandardOutput(std::string& error) {
    if (std::fflush(stdout) != 0) {
        error = because("cannot write standard output", errno);
        return false;
    }
    // An error of an earlier write, whose cause is gone.
    if (std::ferror(stdout) != 0) {
        error = "cannot write standard output";
        return false;
    }
    return true;
}

#include "output/output_set.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

int (*outputRenameFault)(const std::string& path) = nullptr;

namespace {

constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int NEnding = sizeof EndingSignals / sizeof EndingSignals[0];
constexpr const char* EndingNames[] = {"SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT"};
// Turned into write errors while a set lives.
constexpr int QuietSignals[] = {SIGXFSZ, SIGPIPE};
constexpr int NQuiet = sizeof QuietSignals / sizeof QuietSignals[0];

// How long a commit waits for another run's commit into the same folder.
constexpr int LockWaitMs = 30000;

std::string because(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void sleepMs(long ms) {
    timespec pause = {0, ms * 1000000L};
    nanosleep(&pause, nullptr);
}

}  // namespace

namespace {

// A file's descriptor under a stdio stream, keeping the first write error:
// stdio itself only keeps that there was one.
struct Stream {
    int fd = -1;
    int error = 0;
};

ssize_t writeStream(void* cookie, const char* data, std::size_t size) {
    Stream& stream = *static_cast<Stream*>(cookie);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = write(stream.fd, data + done, size - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            stream.error = stream.error != 0 ? stream.error : (wrote < 0 ? errno : EIO);
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return static_cast<ssize_t>(done);
}

int closeStream(void* cookie) {
    Stream& stream = *static_cast<Stream*>(cookie);
    const int closed = ::close(stream.fd);
    if (closed != 0 && stream.error == 0) {
        stream.error = errno;
    }
    stream.fd = -1;
    return closed;
}

}  // namespace

struct OutputSet::State {
    // A folder that receives files, with the private folder of its
    // temporary files, old files and removed stale names.
    struct Folder {
        std::string path;
        int fd = -1;
        dev_t dev = 0;
        ino_t ino = 0;
        std::string privateName;
        int privateFd = -1;
    };
    enum class Kind { Replace, Direct, StandardOutput };
    // How a commit changed a name, to undo it.
    enum class Done { Nothing, Exchanged, Created, LinkedAside, MovedAside };
    struct Target {
        std::string given;
        Kind kind = Kind::Replace;
        std::string path;  // Direct: what to open
        std::size_t folder = 0;
        std::string name;  // Replace: the final name in the folder
        std::string temporary;
        bool created = false;
        dev_t dev = 0;  // identity: the file, or the folder of a new name
        ino_t ino = 0;
        bool exists = false;
        Done done = Done::Nothing;
        std::shared_ptr<Stream> stream;
    };
    struct StaleRule {
        std::string folder;
        std::function<bool(const std::string&)> stale;
    };

    std::string program;
    std::vector<Folder> folders;
    std::vector<Target> targets;
    std::vector<StaleRule> staleRules;
    std::vector<std::string> madeFolders;
    bool prepared = false;
    bool kept = false;
    struct sigaction previousEnding[NEnding] = {};
    bool handled[NEnding] = {};
    struct sigaction previousQuiet[NQuiet] = {};

    int openFolder(const std::string& path, std::size_t& index);
    bool makePrivate(Folder& folder, std::string& error);
    void discard();
    void clearPrivate(Folder& folder);
    bool undo(Target& t);
    bool replace(std::size_t n, std::string& error);
    bool checkReplaceable(const Folder& folder, const std::string& name, const std::string& shown,
                          std::string& error);
};

namespace {

// The one live set, read by the signal handler.
OutputSet::State* active = nullptr;

// Who may touch the set's state: 0 free, 1 the program (with the ending
// signals blocked in its thread), 2 a signal handler ending the program.
std::atomic<int> stateLock{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free word");

sigset_t endingSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : EndingSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

// Holds the state against the handler; a signal meanwhile waits.
class Held {
  public:
    Held() {
        const sigset_t set = endingSet();
        pthread_sigmask(SIG_BLOCK, &set, &saved_);
        for (int expected = 0; !stateLock.compare_exchange_weak(expected, 1); expected = 0) {
            if (expected == 2) {
                // Another thread is ending the program.
                for (;;) {
                    pause();
                }
            }
            sleepMs(1);
        }
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() {
        stateLock.store(0);
        pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }

  private:
    sigset_t saved_;
};

// Async-signal-safe pieces of a line.
void append(char* line, std::size_t& used, std::size_t size, const char* text) {
    for (; *text != '\0' && used + 1 < size; ++text) {
        line[used++] = *text;
    }
}

void onEndingSignal(int signal) {
    for (int expected = 0; !stateLock.compare_exchange_weak(expected, 2); expected = 0) {
        if (expected == 2) {
            for (;;) {
                pause();
            }
        }
        sleepMs(1);
    }
    const char* signalName = "a signal";
    for (int n = 0; n < NEnding; ++n) {
        if (EndingSignals[n] == signal) {
            signalName = EndingNames[n];
        }
    }
    char line[256];
    std::size_t used = 0;
    if (active != nullptr) {
        append(line, used, sizeof line, active->program.c_str());
        append(line, used, sizeof line, ": interrupted by ");
        append(line, used, sizeof line, signalName);
        if (active->kept) {
            append(line, used, sizeof line, "; the files are kept\n");
        } else {
            active->discard();
            append(line, used, sizeof line, "; no file written\n");
        }
        if (write(STDERR_FILENO, line, used) < 0) {
            // Nothing more to do: the program ends anyway.
        }
    }
    // End as the signal would have ended us, without a core dump for
    // SIGQUIT.
    if (signal == SIGQUIT) {
        prctl(PR_SET_DUMPABLE, 0);
    }
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    _exit(128 + signal);
}

}  // namespace

// Async-signal-safe: the handler calls it.
void OutputSet::State::discard() {
    for (const Target& t : targets) {
        if (t.created) {
            unlinkat(folders[t.folder].privateFd, t.temporary.c_str(), 0);
        }
    }
    for (const Folder& f : folders) {
        if (f.privateFd >= 0) {
            unlinkat(f.fd, f.privateName.c_str(), AT_REMOVEDIR);
        }
    }
    for (auto made = madeFolders.rbegin(); made != madeFolders.rend(); ++made) {
        rmdir(made->c_str());
    }
}

// Empties and removes a private folder (outside a handler).
void OutputSet::State::clearPrivate(Folder& folder) {
    if (folder.privateFd < 0) {
        return;
    }
    if (DIR* dir = fdopendir(dup(folder.privateFd))) {
        while (const dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                unlinkat(folder.privateFd, entry->d_name, 0);
            }
        }
        closedir(dir);
    }
    unlinkat(folder.fd, folder.privateName.c_str(), AT_REMOVEDIR);
    ::close(folder.privateFd);
    folder.privateFd = -1;
}

OutputSet::OutputSet(const std::string& program) : state_(std::make_unique<State>()) {
    state_->program = program;
    // A closed standard stream gets /dev/null opened the other way round:
    // its writes (or reads) still fail, and no file of ours takes its place.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            const int opened = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
            if (opened >= 0 && opened != fd) {
                dup2(opened, fd);
                ::close(opened);
            }
        }
    }
    Held held;
    active = state_.get();
    struct sigaction action = {};
    action.sa_handler = onEndingSignal;
    action.sa_mask = endingSet();
    action.sa_flags = SA_RESTART;
    for (int n = 0; n < NEnding; ++n) {
        // A signal ignored at start (nohup, a background job) stays ignored.
        sigaction(EndingSignals[n], nullptr, &state_->previousEnding[n]);
        if (state_->previousEnding[n].sa_handler != SIG_IGN) {
            sigaction(EndingSignals[n], &action, nullptr);
            state_->handled[n] = true;
        }
    }
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int n = 0; n < NQuiet; ++n) {
        sigaction(QuietSignals[n], &ignore, &state_->previousQuiet[n]);
    }
}

OutputSet::~OutputSet() {
    State& s = *state_;
    Held held;
    if (!s.kept) {
        s.discard();
    }
    for (State::Folder& f : s.folders) {
        if (f.privateFd >= 0) {
            ::close(f.privateFd);
        }
        ::close(f.fd);
    }
    for (int n = 0; n < NEnding; ++n) {
        if (s.handled[n]) {
            sigaction(EndingSignals[n], &s.previousEnding[n], nullptr);
        }
    }
    for (int n = 0; n < NQuiet; ++n) {
        sigaction(QuietSignals[n], &s.previousQuiet[n], nullptr);
    }
    active = nullptr;
}

// Finds or opens the folder at path; 0, or the errno of the failure.
int OutputSet::State::openFolder(const std::string& path, std::size_t& index) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info = {};
    if (fd < 0) {
        return errno;
    }
    if (fstat(fd, &info) != 0) {
        const int why = errno;
        ::close(fd);
        return why;
    }
    for (index = 0; index < folders.size(); ++index) {
        if (folders[index].dev == info.st_dev && folders[index].ino == info.st_ino) {
            ::close(fd);
            return 0;
        }
    }
    Folder folder;
    folder.path = path;
    folder.fd = fd;
    folder.dev = info.st_dev;
    folder.ino = info.st_ino;
    Held held;
    folders.push_back(folder);
    return 0;
}

bool OutputSet::State::makePrivate(Folder& folder, std::string& error) {
    if (folder.privateFd >= 0) {
        return true;
    }
    std::string path = folder.path + "/.patchview-XXXXXX";
    Held held;
    if (mkdtemp(path.data()) == nullptr) {
        error = because("cannot write into " + folder.path, errno);
        return false;
    }
    folder.privateName = baseOf(path);
    folder.privateFd = openat(folder.fd, folder.privateName.c_str(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (folder.privateFd < 0) {
        error = because("cannot write into " + folder.path, errno);
        unlinkat(folder.fd, folder.privateName.c_str(), AT_REMOVEDIR);
        return false;
    }
    return true;
}

bool OutputSet::makeFolder(const std::string& folder, std::string& error) {
    State& s = *state_;
    // Each missing level in turn, as mkdir -p does.
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        struct stat info = {};
        if (stat(level.c_str(), &info) != 0) {
            Held held;
            if (mkdir(level.c_str(), 0777) == 0) {
                s.madeFolders.push_back(level);
            } else if (errno != EEXIST) {
                error = because("cannot create the folder " + level, errno);
                return false;
            }
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    std::size_t index = 0;
    if (const int why = s.openFolder(folder, index)) {
        error = "cannot write into " + folder + ": " +
                (why == ENOTDIR ? std::string("not a folder") : std::strerror(why));
        return false;
    }
    return s.makePrivate(s.folders[index], error);
}

std::size_t OutputSet::add(const std::string& path) {
    State::Target target;
    target.given = path;
    Held held;
    state_->targets.push_back(target);
    return state_->targets.size() - 1;
}

void OutputSet::removeStale(const std::string& folder,
                            std::function<bool(const std::string&)> stale) {
    state_->staleRules.push_back({folder, std::move(stale)});
}

std::string OutputSet::name(std::size_t n) const {
    const std::string& given = state_->targets[n].given;
    return given == "-" ? "standard output" : given;
}

OutputSet::Prepared OutputSet::prepare(std::string& error) {
    State& s = *state_;
    for (std::size_t n = 0; n < s.targets.size(); ++n) {
        State::Target& t = s.targets[n];
        const std::string shown = name(n);
        struct stat info = {};
        if (t.given == "-") {
            t.kind = State::Kind::StandardOutput;
            if (fstat(STDOUT_FILENO, &info) != 0) {
                error = because("cannot write " + shown, errno);
                return Prepared::Failed;
            }
            t.dev = info.st_dev;
            t.ino = info.st_ino;
            t.exists = true;
            continue;
        }
        // Follow links to the file they name; a dangling link names a new one.
        std::string path = t.given;
        int hops = 0;
        for (;; ++hops) {
            if (hops > 40) {
                error = because("cannot write " + shown, ELOOP);
                return Prepared::Failed;
            }
            if (lstat(path.c_str(), &info) != 0) {
                if (errno != ENOENT) {
                    error = because("cannot write " + shown, errno);
                    return Prepared::Failed;
                }
                t.exists = false;
                break;
            }
            if (!S_ISLNK(info.st_mode)) {
                t.exists = true;
                break;
            }
            std::vector<char> link(PATH_MAX);
            const ssize_t size = readlink(path.c_str(), link.data(), link.size() - 1);
            if (size < 0) {
                error = because("cannot write " + shown, errno);
                return Prepared::Failed;
            }
            const std::string target(link.data(), static_cast<std::size_t>(size));
            path = target[0] == '/' ? target : folderOf(path) + "/" + target;
        }
        if (t.exists && S_ISDIR(info.st_mode)) {
            error = because("cannot write " + shown, EISDIR);
            return Prepared::Failed;
        }
        if (t.exists && !S_ISREG(info.st_mode)) {
            // A device, pipe or socket: written to, never replaced.
            t.kind = State::Kind::Direct;
            t.path = path;
            t.dev = info.st_dev;
            t.ino = info.st_ino;
            continue;
        }
        t.name = baseOf(path);
        if (t.name.empty() || t.name == "." || t.name == "..") {
            error = because("cannot write " + shown, EISDIR);
            return Prepared::Failed;
        }
        if (const int why = s.openFolder(folderOf(path), t.folder)) {
            error = because("cannot write " + shown, why);
            return Prepared::Failed;
        }
        if (!s.makePrivate(s.folders[t.folder], error)) {
            return Prepared::Failed;
        }
        t.dev = t.exists ? info.st_dev : s.folders[t.folder].dev;
        t.ino = t.exists ? info.st_ino : s.folders[t.folder].ino;
        t.temporary = std::to_string(n);
    }
    for (std::size_t a = 0; a < s.targets.size(); ++a) {
        for (std::size_t b = 0; b < a; ++b) {
            const State::Target& x = s.targets[a];
            const State::Target& y = s.targets[b];
            if (x.dev == y.dev && x.ino == y.ino && x.exists == y.exists &&
                (x.exists || x.name == y.name)) {
                error = name(b) + " and " + name(a) + " are the same file";
                return Prepared::SameFile;
            }
        }
    }
    s.prepared = true;
    return Prepared::Ready;
}

std::FILE* OutputSet::open(std::size_t n, std::string& error) {
    State& s = *state_;
    State::Target& t = s.targets[n];
    int fd = -1;
    if (t.kind == State::Kind::StandardOutput) {
        fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    } else if (t.kind == State::Kind::Direct) {
        // A pipe waits here for its reader; a signal meanwhile ends the run.
        fd = ::open(t.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    } else {
        Held held;
        t.created = true;
        fd = openat(s.folders[t.folder].privateFd, t.temporary.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }
    std::FILE* file = nullptr;
    if (fd >= 0) {
        t.stream = std::make_shared<Stream>();
        t.stream->fd = fd;
        file = fopencookie(t.stream.get(), "wb", {nullptr, writeStream, nullptr, closeStream});
    }
    if (file == nullptr) {
        error = because("cannot write " + name(n), errno);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return file;
}

bool OutputSet::close(std::size_t n, std::FILE* file, std::string& error) {
    const Stream& stream = *state_->targets[n].stream;
    const bool written = std::fflush(file) == 0 && std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || stream.error != 0) {
        error = because("cannot write " + name(n), stream.error != 0 ? stream.error : EIO);
        return false;
    }
    return true;
}

bool OutputSet::State::checkReplaceable(const Folder& folder, const std::string& name,
                                        const std::string& shown, std::string& error) {
    if (faccessat(folder.fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        error = because("cannot replace " + shown, errno);
        return false;
    }
    struct stat info = {};
    if (fstatat(folder.fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return true;  // a new name
    }
    if (S_ISDIR(info.st_mode)) {
        error = because("cannot replace " + shown, EISDIR);
        return false;
    }
    // In a sticky folder only the owner of the file or of the folder may
    // replace it (root may always).
    struct stat here = {};
    const uid_t me = geteuid();
    if (fstat(folder.fd, &here) == 0 && (here.st_mode & S_ISVTX) != 0 && me != 0 &&
        info.st_uid != me && here.st_uid != me) {
        error = "cannot replace " + shown + ": another user owns it in a sticky folder";
        return false;
    }
    return true;
}

// Moves target n's new file to its final name, keeping the old file aside.
bool OutputSet::State::replace(std::size_t n, std::string& error) {
    Target& t = targets[n];
    const Folder& f = folders[t.folder];
    const char* final = t.name.c_str();
    const char* temporary = t.temporary.c_str();
    if (outputRenameFault != nullptr) {
        if (const int fault = outputRenameFault(t.given)) {
            error = because("cannot replace " + t.given, fault);
            return false;
        }
    }
    // The old file and the new one change names at once: the old one is
    // then the temporary file, to be put back or removed.
    if (renameat2(f.privateFd, temporary, f.fd, final, RENAME_EXCHANGE) == 0) {
        t.done = Done::Exchanged;
        return true;
    }
    if (errno == ENOENT && renameat2(f.privateFd, temporary, f.fd, final, RENAME_NOREPLACE) == 0) {
        t.done = Done::Created;
        return true;
    }
    if (errno == EINVAL || errno == ENOSYS) {
        // A file system without those renames: a second link keeps the old
        // file for a restore.
        const std::string aside = t.temporary + ".old";
        const bool linked = linkat(f.fd, final, f.privateFd, aside.c_str(), 0) == 0;
        if (!linked && errno != ENOENT) {
            error = because("cannot keep the old " + t.given + " for a restore", errno);
            return false;
        }
        if (renameat(f.privateFd, temporary, f.fd, final) == 0) {
            t.done = linked ? Done::LinkedAside : Done::Created;
            return true;
        }
    }
    error = because("cannot replace " + t.given, errno);
    return false;
}

// Puts back what a commit did to target t.
bool OutputSet::State::undo(Target& t) {
    const Folder& f = folders[t.folder];
    const char* final = t.name.c_str();
    const char* temporary = t.temporary.c_str();
    const std::string aside = t.temporary + ".old";
    bool undone = true;
    switch (t.done) {
        case Done::Nothing:
            break;
        case Done::Exchanged:
            undone = renameat2(f.privateFd, temporary, f.fd, final, RENAME_EXCHANGE) == 0;
            break;
        case Done::Created:
            undone = renameat(f.fd, final, f.privateFd, temporary) == 0;
            break;
        case Done::LinkedAside:
            undone = renameat(f.privateFd, aside.c_str(), f.fd, final) == 0;
            break;
        case Done::MovedAside:
            undone = renameat(f.privateFd, temporary, f.fd, final) == 0;
            break;
    }
    t.done = Done::Nothing;
    return undone;
}

bool OutputSet::commit(std::string& error) {
    State& s = *state_;
    if (!s.prepared) {
        error = "nothing prepared to commit";
        return false;
    }
    for (std::size_t n = 0; n < s.targets.size(); ++n) {
        if (s.targets[n].kind == State::Kind::Replace && !s.targets[n].created) {
            error = because("cannot write " + name(n), ENOENT);
            return false;
        }
    }
    std::vector<std::size_t> ruleFolders;
    for (const State::StaleRule& rule : s.staleRules) {
        std::size_t index = 0;
        if (const int why = s.openFolder(rule.folder, index)) {
            error = because("cannot write into " + rule.folder, why);
            return false;
        }
        if (!s.makePrivate(s.folders[index], error)) {
            return false;
        }
        ruleFolders.push_back(index);
    }

    // One commit at a time per folder, in the order of the folders' inodes
    // so that two runs never wait for each other.
    std::vector<std::size_t> order;
    for (std::size_t f = 0; f < s.folders.size(); ++f) {
        if (s.folders[f].privateFd >= 0) {
            order.push_back(f);
        }
    }
    std::sort(order.begin(), order.end(), [&s](std::size_t a, std::size_t b) {
        return std::make_pair(s.folders[a].dev, s.folders[a].ino) <
               std::make_pair(s.folders[b].dev, s.folders[b].ino);
    });
    std::vector<int> locked;
    const auto unlockAll = [&locked] {
        for (int fd : locked) {
            flock(fd, LOCK_UN);
        }
    };
    for (std::size_t f : order) {
        int waited = 0;
        while (flock(s.folders[f].fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= LockWaitMs) {
                error = "cannot write into " + s.folders[f].path +
                        (errno == EWOULDBLOCK ? ": another run is still writing its files there"
                                              : ": " + std::string(std::strerror(errno)));
                unlockAll();
                return false;
            }
            sleepMs(20);
            waited += 20;
        }
        locked.push_back(s.folders[f].fd);
    }

    Held held;
    // The stale names, found under the lock so that no other run adds any.
    std::vector<State::Target> stale;
    for (std::size_t r = 0; r < s.staleRules.size(); ++r) {
        const std::size_t f = ruleFolders[r];
        DIR* dir = fdopendir(dup(s.folders[f].fd));
        while (dir != nullptr) {
            const dirent* entry = readdir(dir);
            if (entry == nullptr) {
                closedir(dir);
                break;
            }
            const std::string found = entry->d_name;
            struct stat info = {};
            const bool ours = std::any_of(s.targets.begin(), s.targets.end(), [&](auto& t) {
                return t.kind == State::Kind::Replace && t.folder == f && t.name == found;
            });
            if (ours || !s.staleRules[r].stale(found) ||
                fstatat(s.folders[f].fd, found.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
                !(S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))) {
                continue;
            }
            State::Target old;
            old.folder = f;
            old.name = found;
            old.given = s.folders[f].path + "/" + found;
            old.temporary = "stale-" + std::to_string(stale.size());
            stale.push_back(old);
        }
    }

    bool done = true;
    for (State::Target& t : s.targets) {
        done = done && (t.kind != State::Kind::Replace ||
                        s.checkReplaceable(s.folders[t.folder], t.name, t.given, error));
    }
    for (const State::Target& t : stale) {
        done = done && s.checkReplaceable(s.folders[t.folder], t.name, t.given, error);
    }
    // The stale names go aside first, then every file is put in place.
    std::size_t removed = 0;
    for (; done && removed < stale.size(); ++removed) {
        State::Target& t = stale[removed];
        const State::Folder& f = s.folders[t.folder];
        if (renameat(f.fd, t.name.c_str(), f.privateFd, t.temporary.c_str()) == 0) {
            t.done = State::Done::MovedAside;
        } else if (errno != ENOENT) {
            error = because("cannot remove " + t.given, errno);
            done = false;
        }
    }
    std::size_t replaced = 0;
    for (; done && replaced < s.targets.size(); ++replaced) {
        done = s.targets[replaced].kind != State::Kind::Replace || s.replace(replaced, error);
    }
    if (!done) {
        std::string lost;
        for (std::size_t n = replaced; n-- > 0;) {
            if (!s.undo(s.targets[n])) {
                lost += ", " + s.targets[n].given;
            }
        }
        for (std::size_t n = removed; n-- > 0;) {
            if (!s.undo(stale[n])) {
                lost += ", " + stale[n].given;
            }
        }
        error += lost.empty() ? "; nothing was replaced"
                              : "; could not put back the old " + lost.substr(2);
        s.discard();
    } else {
        s.kept = true;
    }
    for (State::Folder& f : s.folders) {
        s.clearPrivate(f);
    }
    if (!done) {
        s.discard();  // the folders made, now that the private ones are gone
    }
    unlockAll();
    return done;
}

bool OutputSet::flushStandardOutput(std::string& error) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int why = errno;
    if (flushed && std::ferror(stdout) == 0) {
        return true;
    }
    error = "cannot write standard output";
    if (!flushed && why != 0) {
        error = because(error, why);
    }
    return false;
}

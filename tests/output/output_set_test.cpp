// The writer of the programs' files on its own: what a commit that fails
// halfway puts back, which names are one file, what is found at a name after
// the check, links of other users, a run killed in the middle of its commit,
// and how a signal ends a run. As root, other users are played by child
// processes with other user ids. The programs' tests run the rest.

#include "output/output_set.h"

#include "output/endings.h"
#include "output/folder_lock.h"
#include "output/names.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uid_t UserA = 4201;
constexpr uid_t UserB = 4202;

struct Folder {
    explicit Folder(mode_t mode = 0700) {
        std::string name = testing::TempDir() + "output-test-XXXXXX";
        path = mkdtemp(name.data());
        chmod(path.c_str(), mode);
    }
    ~Folder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

std::set<std::string> listing(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            names.insert(entry->d_name);
        }
        closedir(dir);
    }
    names.erase(".");
    names.erase("..");
    return names;
}

// The numbers of the open descriptors.
std::set<std::string> openDescriptors() {
    return listing("/proc/self/fd");
}

// A socket's name in the file system, left when the socket closes.
bool makeSocket(const std::string& path) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::strcpy(address.sun_path, path.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return bound;
}

void put(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

std::string got(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return in ? text.str() : "<none>";
}

// Writes text into every file of the set.
void writeAll(OutputSet& set, std::size_t count, const std::string& text) {
    for (std::size_t n = 0; n < count; ++n) {
        std::string error;
        std::FILE* file = set.open(n, error);
        ASSERT_NE(file, nullptr) << error;
        std::fputs(text.c_str(), file);
        ASSERT_TRUE(set.close(n, file, error)) << error;
    }
}

// A set of the given files, written with text and committed: the error, or
// "" on success.
std::string commitFiles(const std::vector<std::string>& paths, const std::string& text) {
    OutputSet set("probe");
    for (const std::string& path : paths) {
        set.add(path);
    }
    std::string error;
    if (set.prepare(error) != OutputSet::Prepared::Ready) {
        return error;
    }
    writeAll(set, paths.size(), text);
    return set.commit(error) ? "" : error;
}

bool isStale(const std::string& name) {
    return name.rfind("stale", 0) == 0;
}

struct Ending {
    int status;
    std::string line;
};

// Runs body in a child, as user uid unless it is 0, with its standard error
// read back; the child exits with body's result.
Ending inChild(const std::function<int()>& body, uid_t uid = 0) {
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDERR_FILENO);
        if (uid != 0 && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)) {
            _exit(99);
        }
        _exit(body());
    }
    close(pipeFds[1]);
    std::string line;
    char buffer[256];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        line.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return {status, line};
}

// Whether another user reaches the folders of the tests (not where the
// root folder itself is private, as in some chroots).
bool othersReachTheFolders() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(UserA) == 0 && setuid(UserA) == 0 &&
                      access(testing::TempDir().c_str(), X_OK) == 0
                  ? 0
                  : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status == 0;
}

#define NEEDS_ROOT()                                                                  \
    if (geteuid() != 0) {                                                             \
        GTEST_SKIP() << "other users are played by child processes run as root";      \
    }                                                                                 \
    if (!othersReachTheFolders()) {                                                   \
        GTEST_SKIP() << "other users cannot reach " << testing::TempDir() << " here"; \
    }

// What was synced, in order: F a folder of the user's, P a private folder
// of a run (with j while it still holds a journal), J a journal, N a new
// file (0 after one that is still empty); ? after a private folder or
// journal whose name or mode is not as made (six letters or digits; 0700
// and 0600).
std::string synced;

int recordSync(int fd) {
    char path[4096] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const std::string name(path, std::max<ssize_t>(0, readlink(link.c_str(), path, sizeof path)));
    struct stat info = {};
    fstat(fd, &info);
    const std::size_t at = name.find("/.patchview-");
    if (at == std::string::npos) {
        synced += S_ISDIR(info.st_mode) ? "F" : info.st_size == 0 ? "N0" : "N";
        return 0;
    }
    const std::size_t end = std::min(name.find('/', at + 1), name.size());
    const std::string suffix = name.substr(at + 12, end - at - 12);
    const bool journal = name.substr(end) == "/journal";
    if (S_ISDIR(info.st_mode)) {
        synced += faccessat(fd, "journal", F_OK, 0) == 0 ? "Pj" : "P";
    } else {
        synced += journal ? "J" : "N";
        synced += info.st_size == 0 ? "0" : "";
    }
    const mode_t mode = info.st_mode & 07777;
    if (suffix.size() != 6 ||
        suffix.find_first_not_of(
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789") !=
            std::string::npos ||
        (S_ISDIR(info.st_mode) && mode != 0700) || (journal && mode != 0600)) {
        synced += "?";
    }
    return 0;
}

TEST(OutputSet, ACommitReplacesEveryNameOrPutsEveryOneBackKeepingModesAndOwners) {
    for (bool exchange : {true, false}) {
        for (bool fails : {true, false}) {
            SCOPED_TRACE(std::string(exchange ? "with" : "without") + " exchange, " +
                         (fails ? "the last rename fails" : "every rename works"));
            Folder f;
            put(f / "a", "old a");
            chmod((f / "a").c_str(), 0604);
            if (geteuid() == 0) {
                ASSERT_EQ(chown((f / "a").c_str(), UserA, UserB), 0);
            }
            put(f / "stale-1", "old stale");
            ASSERT_EQ(mkdir((f / "stale-folder").c_str(), 0777), 0);
            ASSERT_EQ(symlink("a", (f / "link").c_str()), 0);
            const std::set<std::string> before = listing(f.path);
            outputWithoutExchange = !exchange;
            OutputSet set("probe");
            set.add(f / "link");  // replaces a through the link
            set.add(f / "b");
            set.add(f / "c");
            set.removeStale(f.path, isStale);
            std::string error;
            ASSERT_EQ(set.prepare(error), OutputSet::Prepared::Ready) << error;
            writeAll(set, 3, "new");
            outputRenameFault = [](const std::string& path) {
                return path.substr(path.size() - 2) == "/c" ? EIO : 0;
            };
            if (!fails) {
                outputRenameFault = nullptr;
            }
            EXPECT_EQ(set.commit(error), !fails);
            outputRenameFault = nullptr;
            outputWithoutExchange = false;
            struct stat a = {};
            ASSERT_EQ(stat((f / "a").c_str(), &a), 0);
            EXPECT_EQ(a.st_mode & 07777, 0604u);
            if (geteuid() == 0) {
                EXPECT_EQ(a.st_uid, UserA);
                EXPECT_EQ(a.st_gid, UserB);
            }
            if (fails) {
                EXPECT_EQ(error, "cannot replace " + (f / "c") + ": " + std::strerror(EIO) +
                                     "; nothing was replaced");
                EXPECT_EQ(listing(f.path), before);
                EXPECT_EQ(got(f / "a"), "old a");
                EXPECT_EQ(got(f / "stale-1"), "old stale");
            } else {
                std::set<std::string> after = {"a", "b", "c", "link", "stale-folder"};
                EXPECT_EQ(listing(f.path), after);
                EXPECT_EQ(got(f / "a") + got(f / "b") + got(f / "c"), "newnewnew");
                struct stat info = {};
                EXPECT_TRUE(lstat((f / "link").c_str(), &info) == 0 && S_ISLNK(info.st_mode));
                const mode_t mask = umask(0);
                umask(mask);
                ASSERT_EQ(stat((f / "b").c_str(), &info), 0);
                EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
            }
        }
    }
}

TEST(OutputSet, TwoNamesForOneFileAreRefusedBeforeAnythingIsWritten) {
    Folder f;
    put(f / "x", "x");
    ASSERT_EQ(symlink("x", (f / "to-x").c_str()), 0);
    ASSERT_EQ(link((f / "x").c_str(), (f / "hard-x").c_str()), 0);
    ASSERT_EQ(symlink("new", (f / "to-new").c_str()), 0);
    const std::set<std::string> before = listing(f.path);
    const char* const pairs[][2] = {{"x", "./x"},      {"x", "to-x"},     {"hard-x", "x"},
                                    {"new", "./new"},  {"to-new", "new"}, {"/dev/stdout", "-"},
                                    {"/dev/fd/1", "-"}};
    for (const auto& pair : pairs) {
        OutputSet set("probe");
        const std::string a = pair[0][0] == '/' ? pair[0] : f / pair[0];
        const std::string b = pair[1][0] == '-' ? pair[1] : f / pair[1];
        set.add(a);
        set.add(b);
        std::string error;
        EXPECT_EQ(set.prepare(error), OutputSet::Prepared::SameFile) << a << " " << b << error;
        EXPECT_EQ(error, a + " and " + set.name(1) + " are the same file");
    }
    OutputSet set("probe");
    set.add(f / "x");
    set.add(f / "new2");
    std::string error;
    EXPECT_EQ(set.prepare(error), OutputSet::Prepared::Ready) << error;
    EXPECT_EQ(listing(f.path), before);
}

TEST(OutputSet, ACommitWaitsForAnotherRunButNotForAReaderOfTheFolder) {
    Folder f(0755);
    const int other = open(f.path.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    {
        OutputSet set("probe");
        set.add(f / "file");
        std::string error;
        ASSERT_EQ(set.prepare(error), OutputSet::Prepared::Ready) << error;
        writeAll(set, 1, "new");
        std::atomic<bool> committed{false};
        std::thread commit([&] { committed = set.commit(error); });
        usleep(200000);
        EXPECT_EQ(got(f / "file"), "<none>") << "committed during the other run's commit";
        flock(other, LOCK_UN);
        commit.join();
        EXPECT_TRUE(committed) << error;
        EXPECT_EQ(got(f / "file"), "new");
        EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "the lock outlived the commit";
    }
    // A run that keeps the lock is waited for, but not for ever.
    output::lockWaitMs = 100;
    EXPECT_EQ(commitFiles({f / "file"}, "late"),
              "cannot write into " + f.path + ": another run is still writing its files there");
    output::lockWaitMs = output::DefaultLockWaitMs;
    flock(other, LOCK_UN);
    EXPECT_EQ(got(f / "file"), "new");
    close(other);
    NEEDS_ROOT();
    // A user who may only read the folder holds its lock until told.
    int held[2];
    int release[2];
    ASSERT_EQ(pipe(held), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t reader = fork();
    if (reader == 0) {
        close(release[1]);
        if (setgid(UserA) != 0 || setuid(UserA) != 0) {
            _exit(1);
        }
        const int fd = open(f.path.c_str(), O_RDONLY | O_DIRECTORY);
        char byte = flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
        _exit(write(held[1], &byte, 1) == 1 && read(release[0], &byte, 1) >= 0 ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(read(held[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    EXPECT_EQ(commitFiles({f / "file"}, "again"), "");
    EXPECT_EQ(got(f / "file"), "again");
    close(release[1]);
    int status = 0;
    waitpid(reader, &status, 0);
    for (int fd : {held[0], held[1], release[0]}) {
        close(fd);
    }
}

// A set of one file in a folder it makes, with signal raised while writing
// (or, with during, in the middle of the commit); the child's status.
int recordWith(const std::string& folder, int signal, bool during) {
    OutputSet set("probe");
    std::string error;
    set.add(folder + "/file");
    if (!set.makeFolder(folder, error) || set.prepare(error) != OutputSet::Prepared::Ready) {
        return 10;
    }
    std::FILE* file = set.open(0, error);
    std::fputs(std::string(5000, 'x').c_str(), file);
    static int duringSignal = signal;
    if (during) {
        outputRenameFault = [](const std::string&) { return raise(duringSignal); };
    } else {
        raise(signal);
    }
    const bool closed = set.close(0, file, error);
    if (!closed) {
        std::fprintf(stderr, "%s\n", error.c_str());
    }
    return closed && set.commit(error) ? 0 : 12;
}

TEST(OutputSet, TheSetsStateIsHeldByOneThreadAtATime) {
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    const auto work = [&] {
        for (int n = 0; n < 5000; ++n) {
            output::Held held;
            overlaps += ++inside > 1 ? 1 : 0;
            sched_yield();
            --inside;
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(overlaps, 0);
    // Meanwhile the ending signals wait, and afterwards they do not.
    sigset_t during;
    {
        output::Held held;
        pthread_sigmask(SIG_BLOCK, nullptr, &during);
    }
    sigset_t after;
    pthread_sigmask(SIG_BLOCK, nullptr, &after);
    EXPECT_TRUE(sigismember(&during, SIGTERM) && sigismember(&during, SIGPWR));
    EXPECT_FALSE(sigismember(&after, SIGTERM) || sigismember(&after, SIGPWR));
}

TEST(OutputSet, EverySignalEndsTheRunHonestly) {
    Folder f;
    const std::string made = f / "made/deeper";
    // Mid-run: nothing left, not even the folders made, one line.
    const std::pair<int, const char*> signals[] = {
        {SIGINT, "SIGINT"},   {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"},   {SIGQUIT, "SIGQUIT"},
        {SIGUSR1, "SIGUSR1"}, {SIGUSR2, "SIGUSR2"}, {SIGALRM, "SIGALRM"}, {SIGVTALRM, "SIGVTALRM"},
        {SIGPROF, "SIGPROF"}, {SIGXCPU, "SIGXCPU"}, {SIGPWR, "SIGPWR"}};
    for (const auto& [signal, name] : signals) {
        const int sent = signal;  // a structured binding is not captured before C++20
        const Ending end = inChild([&] {
            // Where dumps are allowed, none is made.
            const rlimit core = {RLIM_INFINITY, RLIM_INFINITY};
            setrlimit(RLIMIT_CORE, &core);
            return chdir(f.path.c_str()) == 0 ? recordWith(made, sent, false) : 13;
        });
        EXPECT_TRUE(WIFSIGNALED(end.status) && WTERMSIG(end.status) == signal) << end.status;
        EXPECT_FALSE(WCOREDUMP(end.status));
        EXPECT_EQ(end.line, std::string("probe: interrupted by ") + name + "; no file written\n");
        EXPECT_EQ(listing(f.path).size(), 0u) << end.line;
    }
    // Ignored at start (nohup): it stays ignored and the files are kept.
    Ending end = inChild([&] {
        std::signal(SIGHUP, SIG_IGN);
        return recordWith(made, SIGHUP, false);
    });
    EXPECT_EQ(end.status, 0) << end.line;
    EXPECT_EQ(got(made + "/file").size(), 5000u);
    // During the commit: the set is completed, then the signal ends the run.
    end = inChild([&] { return recordWith(f / "commit", SIGTERM, true); });
    EXPECT_TRUE(WIFSIGNALED(end.status) && WTERMSIG(end.status) == SIGTERM) << end.status;
    EXPECT_EQ(end.line, "probe: interrupted by SIGTERM; the files are kept\n");
    EXPECT_EQ(got(f / "commit/file").size(), 5000u);
    // A file size limit is a write error, not a signal.
    end = inChild([&] {
        const rlimit limit = {1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        return recordWith(f / "limited", 0, true);
    });
    EXPECT_TRUE(WIFEXITED(end.status) && WEXITSTATUS(end.status) == 12) << end.status;
    EXPECT_EQ(end.line, "cannot write " + (f / "limited/file") + ": File too large\n");
    EXPECT_EQ(listing(f.path), (std::set<std::string>{"commit", "made"}));
}

TEST(OutputSet, EveryNewFileIsSyncedBeforeItsCommitAndItsFolderAfter) {
    Folder f;
    put(f / "old", "old");
    synced.clear();
    outputSyncFault = recordSync;
    EXPECT_EQ(commitFiles({f / "old", f / "new"}, "x"), "");
    outputSyncFault = nullptr;
    // The new files, the journal and its folder, the folder after the
    // renames, and the private folder once its journal is gone.
    EXPECT_EQ(synced, "NNJPjFP");
    struct stat folder = {};
    stat(f.path.c_str(), &folder);
    // A file that cannot be synced is not put in place; a folder that
    // cannot be synced after the commit is said to be so.
    static ino_t folderInode = folder.st_ino;
    Ending end = inChild([&] {
        outputSyncFault = [](int) { return EIO; };
        OutputSet set("probe");
        set.add(f / "again");
        std::string error;
        set.prepare(error);
        std::FILE* file = set.open(0, error);
        std::fputs("y", file);
        std::fputs(set.close(0, file, error) ? "closed" : error.c_str(), stderr);
        return 0;
    });
    EXPECT_EQ(end.line, "cannot write " + (f / "again") + ": " + std::strerror(EIO));
    end = inChild([&] {
        outputSyncFault = [](int fd) {
            struct stat info = {};
            fstat(fd, &info);
            return info.st_ino == folderInode ? EIO : 0;
        };
        return commitFiles({f / "again"}, "y").empty() ? 0 : 1;
    });
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.line,
              "probe: could not sync the folder " + f.path + ": " + std::strerror(EIO) + "\n");
    EXPECT_EQ(got(f / "again"), "y");
}

// Writes a few bytes at a time, and every other write is interrupted.
ssize_t shortWrites(int fd, const void* data, std::size_t size) {
    static int calls = 0;
    if (++calls % 2 == 0) {
        errno = EINTR;
        return -1;
    }
    return write(fd, data, std::min<std::size_t>(size, 7));
}

TEST(OutputSet, WritesThatTakeLittleOrNothingAndAFolderClosedBeforeTheCommit) {
    Folder f;
    std::string text;
    for (int n = 0; n < 2000; ++n) {
        text += std::to_string(n) + " ";
    }
    // Short and interrupted writes still write everything, the journal too,
    // in two folders.
    Folder g;
    outputWrite = shortWrites;
    EXPECT_EQ(commitFiles({f / "short", g / "other", f / "third"}, text), "");
    // A write that takes nothing is an error, not an endless loop.
    outputWrite = [](int, const void*, std::size_t) -> ssize_t { return 0; };
    {
        OutputSet set("probe");
        set.add(f / "none");
        std::string error;
        ASSERT_EQ(set.prepare(error), OutputSet::Prepared::Ready) << error;
        std::FILE* file = set.open(0, error);
        ASSERT_NE(file, nullptr) << error;
        std::fputs("x", file);
        EXPECT_FALSE(set.close(0, file, error));
        EXPECT_EQ(error, "cannot write " + (f / "none") + ": " + std::strerror(EIO));
    }
    // A journal that cannot be written.
    outputWrite = [](int fd, const void* data, std::size_t size) -> ssize_t {
        char path[4096] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        if (readlink(link.c_str(), path, sizeof path - 1) > 0 &&
            std::string(path).find("/journal") != std::string::npos) {
            errno = ENOSPC;
            return -1;
        }
        return write(fd, data, size);
    };
    EXPECT_EQ(
        commitFiles({f / "short", f / "third"}, "again"),
        "cannot write into " + f.path + ": " + std::strerror(ENOSPC) + "; nothing was replaced");
    // The folder of a relative name, as the message shows it.
    Ending end = inChild([&] {
        mkdir((f / "s").c_str(), 0700);
        if (chdir(f.path.c_str()) == 0) {
            std::fputs(commitFiles({"s/x", "s/y"}, "s").c_str(), stderr);
        }
        return 0;
    });
    EXPECT_EQ(end.line, "cannot write into s: " + std::string(std::strerror(ENOSPC)) +
                            "; nothing was replaced");
    rmdir((f / "s").c_str());
    outputWrite = write;
    EXPECT_EQ(got(f / "short") + got(g / "other") + got(f / "third"), text + text + text);
    EXPECT_EQ(listing(f.path), (std::set<std::string>{"short", "third"}));
    EXPECT_EQ(listing(g.path), (std::set<std::string>{"other"}));
    // Closed standard streams get /dev/null, which no file of the set takes.
    end = inChild([&] {
        close(STDIN_FILENO);
        close(STDOUT_FILENO);
        dup2(STDERR_FILENO, 9);
        close(STDERR_FILENO);
        bool open = false;
        {
            OutputSet set("probe");
            open = fcntl(0, F_GETFD) != -1 && fcntl(1, F_GETFD) != -1 && fcntl(2, F_GETFD) != -1;
        }
        dup2(9, STDERR_FILENO);
        return open && commitFiles({f / "streams"}, "x").empty() && got(f / "streams") == "x" ? 0
                                                                                              : 1;
    });
    EXPECT_EQ(end.status, 0) << end.line;
    unlink((f / "streams").c_str());
    // Standard output on a full disk.
    end = inChild([] {
        std::string error;
        if (std::freopen("/dev/full", "w", stdout) != nullptr &&
            std::fputs("report", stdout) >= 0 && !OutputSet::flushStandardOutput(error)) {
            std::fputs(error.c_str(), stderr);
        }
        return 0;
    });
    EXPECT_EQ(end.line, "cannot write standard output: " + std::string(std::strerror(ENOSPC)));
    NEEDS_ROOT();
    // A folder that its user may write into but not read.
    Folder writeOnly(0300);
    ASSERT_EQ(chown(writeOnly.path.c_str(), UserA, UserA), 0);
    end =
        inChild([&] { return commitFiles({writeOnly / "blind"}, "blind").empty() ? 0 : 1; }, UserA);
    EXPECT_EQ(end.status, 0) << end.line;
    EXPECT_EQ(got(writeOnly / "blind"), "blind");
    // The user's folder closed to the user between the check and the commit.
    ASSERT_EQ(chown(f.path.c_str(), UserA, UserA), 0);
    end = inChild(
        [&] {
            OutputSet set("probe");
            set.add(f / "late");
            std::string error;
            set.prepare(error);
            writeAll(set, 1, "late");
            chmod(f.path.c_str(), 0500);
            std::fputs(set.commit(error) ? "committed" : error.c_str(), stderr);
            return 0;
        },
        UserA);
    chmod(f.path.c_str(), 0700);
    EXPECT_EQ(end.line, "cannot replace " + (f / "late") + ": " + std::strerror(EACCES) +
                            "; nothing was replaced");
    EXPECT_EQ(listing(f.path), (std::set<std::string>{"short", "third"}));
}

TEST(OutputSet, FewDescriptorsNameTheFilesEarlierAndStillLeaveNothing) {
    // With 40 descriptors, 50 files cannot all wait nameless.
    Folder f;
    const auto fiftyFiles = [&f](bool interrupted) {
        const rlimit limit = {40, 40};
        setrlimit(RLIMIT_NOFILE, &limit);
        OutputSet set("probe");
        for (int n = 0; n < 50; ++n) {
            set.add(f / std::to_string(n));
        }
        std::string error;
        if (set.prepare(error) != OutputSet::Prepared::Ready) {
            return 1;
        }
        for (std::size_t n = 0; n < 50; ++n) {
            std::FILE* file = set.open(n, error);
            if (file == nullptr || std::fputs("x", file) < 0 || !set.close(n, file, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 2;
            }
        }
        if (interrupted) {
            raise(SIGTERM);
        }
        // Half the descriptors at most wait nameless; the others got names.
        for (const std::string& name : listing(f.path)) {
            std::fprintf(stderr, "named early: %zu\n", listing(f / name).size());
        }
        return set.commit(error) ? 0 : 3;
    };
    Ending end = inChild([&] { return fiftyFiles(true); });
    EXPECT_TRUE(WIFSIGNALED(end.status)) << end.line;
    EXPECT_EQ(listing(f.path).size(), 0u);
    end = inChild([&] { return fiftyFiles(false); });
    EXPECT_EQ(end.status, 0) << end.line;
    EXPECT_EQ(end.line, "named early: 30\n");
    EXPECT_EQ(listing(f.path).size(), 50u);
}

TEST(OutputSet, WhatIsFoundAtANameAfterTheCheckStaysThereAndRefusesTheRun) {
    Folder f;
    put(f / "old", "old");
    ASSERT_EQ(mkfifo((f / "pipe").c_str(), 0600), 0);
    struct Case {
        const char* what;
        std::function<void()> meddle;  // after the files are written
        const char* error;
    };
    const Case cases[] = {
        {"a folder at a new name", [&] { mkdir((f / "new").c_str(), 0700); },
         ": a folder is there now"},
        {"a pipe at an old file's name",
         [&] {
             rename((f / "old").c_str(), (f / "kept").c_str());
             mkfifo((f / "old").c_str(), 0600);
         },
         ": a named pipe is there now"},
        {"a link at an old file's name",
         [&] {
             rename((f / "old").c_str(), (f / "kept").c_str());
             symlink("kept", (f / "old").c_str());
         },
         ": a symbolic link is there now"},
        {"a socket at a new name", [&] { makeSocket(f / "new"); }, ": a socket is there now"},
        {"a device at an old file's name",
         [&] {
             rename((f / "old").c_str(), (f / "kept").c_str());
             mknod((f / "old").c_str(), S_IFCHR | 0600, makedev(1, 3));  // as /dev/null
         },
         ": a device is there now"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (geteuid() != 0 && std::string(c.error).find("device") != std::string::npos) {
            continue;  // only root makes devices
        }
        OutputSet set("probe");
        set.add(f / "old");
        set.add(f / "new");
        std::string error;
        ASSERT_EQ(set.prepare(error), OutputSet::Prepared::Ready) << error;
        writeAll(set, 2, "mine");
        c.meddle();
        const std::set<std::string> meddled = listing(f.path);
        EXPECT_FALSE(set.commit(error));
        const std::string name =
            std::string(c.what).find("new") != std::string::npos ? "new" : "old";
        EXPECT_EQ(error, "cannot replace " + (f / name) + c.error + "; nothing was replaced");
        EXPECT_EQ(listing(f.path), meddled);
        std::system(("rm -rf '" + (f / "new") + "' '" + (f / "old") + "'").c_str());
        rename((f / "kept").c_str(), (f / "old").c_str());
        put(f / "old", "old");
    }
    // A file put at a new name just before it is taken: it stays.
    {
        outputRenameFault = [](const std::string& path) {
            put(path, "first");
            return 0;
        };
        const std::string error = commitFiles({f / "taken"}, "mine");
        outputRenameFault = nullptr;
        EXPECT_EQ(error, "cannot replace " + (f / "taken") +
                             ": something was put there after the check; nothing was replaced");
        EXPECT_EQ(got(f / "taken"), "first");
        unlink((f / "taken").c_str());
    }
    // Swapped between the check and the exchange: the stranger goes back.
    for (bool exchange : {true, false}) {
        SCOPED_TRACE(exchange ? "swapped during the exchange" : "swapped before the move aside");
        static std::string stranger;
        stranger = f / "stranger";
        put(stranger, "stranger");
        outputWithoutExchange = !exchange;
        outputRenameFault = [](const std::string& path) {
            rename(stranger.c_str(), path.c_str());
            return 0;
        };
        EXPECT_EQ(commitFiles({f / "old"}, "mine"),
                  "cannot replace " + (f / "old") +
                      ": it changed while it was replaced; nothing was replaced");
        outputRenameFault = nullptr;
        outputWithoutExchange = false;
        EXPECT_EQ(got(f / "old"), "stranger");
        EXPECT_EQ(listing(f.path), (std::set<std::string>{"old", "pipe"}));
    }
    // A pipe at the name is checked, then another file put there: that file
    // is not written.
    {
        OutputSet set("probe");
        set.add(f / "pipe");
        std::string error;
        ASSERT_EQ(set.prepare(error), OutputSet::Prepared::Ready) << error;
        unlink((f / "pipe").c_str());
        put(f / "pipe", "notes");
        EXPECT_EQ(set.open(0, error), nullptr);
        EXPECT_EQ(error, "cannot write " + (f / "pipe") + ": something else is there now");
        EXPECT_EQ(got(f / "pipe"), "notes");
    }
    // A descriptor given by number, then made another file's: not written.
    {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        OutputSet set("probe");
        set.add("/dev/fd/" + std::to_string(ends[1]));
        std::string error;
        ASSERT_EQ(set.prepare(error), OutputSet::Prepared::Ready) << error;
        put(f / "notes", "notes");
        const int notes = open((f / "notes").c_str(), O_WRONLY);
        dup2(notes, ends[1]);
        EXPECT_EQ(set.open(0, error), nullptr);
        EXPECT_EQ(error, "cannot write /dev/fd/" + std::to_string(ends[1]) +
                             ": something else is there now");
        EXPECT_EQ(got(f / "notes"), "notes");
        for (int fd : {notes, ends[0], ends[1]}) {
            close(fd);
        }
        unlink((f / "notes").c_str());
    }
    // Swapped after it was written, before the commit: the set is refused.
    {
        unlink((f / "pipe").c_str());
        ASSERT_EQ(mkfifo((f / "pipe").c_str(), 0600), 0);
        const int reader = open((f / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
        OutputSet set("probe");
        set.add(f / "pipe");
        set.add(f / "beside");
        std::string error;
        ASSERT_EQ(set.prepare(error), OutputSet::Prepared::Ready) << error;
        writeAll(set, 2, "mine");
        unlink((f / "pipe").c_str());
        put(f / "pipe", "notes");
        EXPECT_FALSE(set.commit(error));
        EXPECT_EQ(error, "cannot write " + (f / "pipe") +
                             ": something else is there now; nothing was replaced");
        EXPECT_EQ(got(f / "beside"), "<none>");
        close(reader);
    }
}

TEST(OutputSet, LinksOfOtherUsersInSharedFoldersAreNotFollowed) {
    NEEDS_ROOT();
    Folder shared(01777);
    Folder home(0700);
    ASSERT_EQ(chown(home.path.c_str(), UserB, UserB), 0);
    put(home / "profile", "B's own");
    ASSERT_EQ(chown((home / "profile").c_str(), UserB, UserB), 0);
    const std::string planted = shared / "out.gif";
    const std::string refusal = "cannot write " + planted + ": the link " + planted +
                                " belongs to user 4201, and links of other users in a folder "
                                "that everyone may write to are not followed";
    // A plants a link to B's file; neither B nor root follows it.
    EXPECT_EQ(
        inChild([&] { return symlink((home / "profile").c_str(), planted.c_str()); }, UserA).status,
        0);
    Ending end = inChild([&] { return commitFiles({planted}, "gif") == refusal ? 0 : 1; }, UserB);
    EXPECT_EQ(end.status, 0) << end.line;
    EXPECT_EQ(commitFiles({planted}, "gif"), refusal);
    EXPECT_EQ(got(home / "profile"), "B's own");
    // A's own link is A's to follow, and so is a link of the folder's owner.
    put(shared / "target", "");
    chown((shared / "target").c_str(), UserA, UserA);
    unlink(planted.c_str());
    end = inChild(
        [&] {
            return symlink("target", planted.c_str()) == 0 && commitFiles({planted}, "A's") == ""
                       ? 0
                       : 1;
        },
        UserA);
    EXPECT_EQ(end.status, 0) << end.line;
    EXPECT_EQ(got(shared / "target"), "A's");
    // A block device is never written, however it is reached.
    ASSERT_EQ(mknod((home / "disk").c_str(), S_IFBLK | 0600, makedev(7, 200)), 0);
    ASSERT_EQ(symlink((home / "disk").c_str(), (home / "to-disk").c_str()), 0);
    EXPECT_EQ(commitFiles({home / "to-disk"}, "gif"),
              "cannot write " + (home / "to-disk") + ": a block device is never written");
    // Root's link in a shared folder of A's is B's to refuse too.
    Folder sharedOfA(01777);
    Folder closed(0755);
    ASSERT_EQ(chown(sharedOfA.path.c_str(), UserA, UserA), 0);
    ASSERT_EQ(symlink((home / "profile").c_str(), (sharedOfA / "out").c_str()), 0);
    end = inChild(
        [&] {
            std::fputs(commitFiles({sharedOfA / "out"}, "gif").c_str(), stderr);
            // Nor may B make folders in a folder of root's.
            OutputSet set("probe");
            std::string error;
            std::fputs(set.makeFolder(closed / "sub/deeper", error) ? "made" : "", stderr);
            std::fputs(("\n" + error).c_str(), stderr);
            return 0;
        },
        UserB);
    EXPECT_EQ(end.line, "cannot write " + (sharedOfA / "out") + ": the link " +
                            (sharedOfA / "out") +
                            " belongs to root, and links of other users in a folder that "
                            "everyone may write to are not followed\ncannot create the folder " +
                            (closed / "sub") + ": " + std::strerror(EACCES));
    // In a sticky folder a file of another user is not replaced.
    put(shared / "A's file", "A's");
    chown((shared / "A's file").c_str(), UserA, UserA);
    end = inChild(
        [&] {
            std::fputs(commitFiles({shared / "A's file"}, "B's").c_str(), stderr);
            return 0;
        },
        UserB);
    EXPECT_EQ(end.line, "cannot replace " + (shared / "A's file") +
                            ": another user owns it in a sticky folder; nothing was replaced");
    EXPECT_EQ(got(shared / "A's file"), "A's");
    // Root may, as the kernel lets it, even in a folder of A's, and the
    // file stays B's.
    put(sharedOfA / "B's file", "B's");
    chown((sharedOfA / "B's file").c_str(), UserB, UserB);
    EXPECT_EQ(commitFiles({sharedOfA / "B's file"}, "root's"), "");
    struct stat info = {};
    ASSERT_EQ(stat((sharedOfA / "B's file").c_str(), &info), 0);
    EXPECT_EQ(got(sharedOfA / "B's file") + " " + std::to_string(info.st_uid), "root's 4202");
}

TEST(OutputSet, ARunKilledInTheMiddleOfItsCommitIsPutRightByTheNextRun) {
    for (const std::pair<bool, int>& run : {std::pair{true, 3}, {false, 3}, {true, 2}}) {
        const bool exchange = run.first;
        const int killedAt = run.second;
        SCOPED_TRACE(
            (exchange ? "with exchange, killed at rename " : "without, killed at rename ") +
            std::to_string(killedAt));
        static int killAt = 0;
        killAt = killedAt;
        Folder f;
        for (const char* name : {"a", "b", "c"}) {
            put(f / name, std::string("old ") + name);
        }
        const std::set<std::string> before = listing(f.path);
        // Killed while writing: nameless files leave nothing.
        Ending end = inChild([&] {
            OutputSet set("probe");
            set.add(f / "a");
            std::string error;
            set.prepare(error);
            std::FILE* file = set.open(0, error);
            std::fputs("half", file);
            std::fflush(file);
            return raise(SIGKILL);
        });
        EXPECT_EQ(listing(f.path), before);
        // Killed at the third rename: two names are new, d is not there yet.
        outputWithoutExchange = !exchange;
        end = inChild([&] {
            static int renames = 0;
            outputRenameFault = [](const std::string&) {
                return ++renames == killAt ? raise(SIGKILL) : 0;
            };
            return commitFiles({f / "a", f / "b", f / "d", f / "c"}, "new").empty() ? 0 : 1;
        });
        EXPECT_TRUE(WIFSIGNALED(end.status) && WTERMSIG(end.status) == SIGKILL) << end.status;
        EXPECT_EQ(got(f / "a") + got(f / "b"), killedAt == 3 ? "newnew" : "newold b");
        EXPECT_EQ(listing(f.path).size(), before.size() + 1);  // the private folder
        // The next run's check of its names already finds the old set whole,
        // and what it put back is synced before the leftovers go.
        end = inChild([&] {
            synced.clear();
            outputSyncFault = recordSync;
            OutputSet set("probe");
            set.add(f / "e");
            std::string error;
            const bool whole = set.prepare(error) == OutputSet::Prepared::Ready &&
                               got(f / "a") + got(f / "b") == "old aold b";
            writeAll(set, 1, "e");
            const bool committed = set.commit(error);
            std::fprintf(stderr, "synced %s\n", synced.c_str());
            return whole && committed ? 0 : 1;
        });
        outputWithoutExchange = false;
        EXPECT_EQ(end.status, 0);
        EXPECT_EQ(end.line, "probe: cleaned up after an unfinished run in " + f.path +
                                (killedAt == 3 ? ", putting back 2 files as they were"
                                               : ", putting back 1 file as it was") +
                                "\nsynced FNJPjFP\n");
        EXPECT_EQ(got(f / "a") + got(f / "b") + got(f / "c") + got(f / "e"), "old aold bold ce");
        EXPECT_EQ(listing(f.path), (std::set<std::string>{"a", "b", "c", "e"}));
    }
}

TEST(OutputSet, AnOldFileThatCannotBePutBackIsKeptForALaterRun) {
    Folder f;
    put(f / "a", "old a");
    put(f / "c", "old c");
    // When c is due, something else takes the place of a's old file in the
    // private folder, and c fails.
    static std::string folder;
    folder = f.path;
    outputRenameFault = [](const std::string& path) {
        if (path != folder + "/c") {
            return 0;
        }
        for (const std::string& name : listing(folder)) {
            if (name.rfind(".patchview-", 0) == 0) {
                put(folder + "/" + name + "/stranger", "stranger");
                rename((folder + "/" + name + "/stranger").c_str(),
                       (folder + "/" + name + "/0").c_str());
            }
        }
        return EIO;
    };
    EXPECT_EQ(commitFiles({f / "a", f / "c"}, "new"),
              "cannot replace " + (f / "c") + ": " + std::strerror(EIO) +
                  "; could not put back the old " + (f / "a") +
                  ", which a later run into the folder puts back");
    outputRenameFault = nullptr;
    EXPECT_EQ(got(f / "a") + got(f / "c"), "newold c");
    EXPECT_EQ(listing(f.path).size(), 3u);  // with the private folder and its journal
    // A later run that cannot put it back either keeps it, and says so.
    const Ending end = inChild([&] { return commitFiles({f / "b"}, "b").empty() ? 0 : 1; });
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.line, "probe: could not clean up after an unfinished run in " + f.path + "\n");
    EXPECT_EQ(listing(f.path).size(), 4u);
}

TEST(OutputSet, LeftoversWithoutAWholeJournalAreRemovedAndOthersKept) {
    Folder f;
    put(f / "a", "old a");
    // A journal cut short: nothing had been changed under it.
    ASSERT_EQ(mkdir((f / ".patchview-cut").c_str(), 0700), 0);
    put(f / ".patchview-cut/journal", std::string("R\0000\0a\0", 7));
    put(f / ".patchview-cut/0", "half");
    // A live run's private folder (locked) is left alone.
    ASSERT_EQ(mkdir((f / ".patchview-live").c_str(), 0700), 0);
    const int live = open((f / ".patchview-live").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(live, LOCK_EX), 0);
    const Ending end = inChild([&] {
        const std::set<std::string> open = openDescriptors();
        const bool committed = commitFiles({f / "b"}, "b").empty();
        return committed && openDescriptors() == open ? 0 : 1;
    });
    EXPECT_EQ(end.status, 0) << "failed, or left descriptors open";
    EXPECT_EQ(end.line, "probe: cleaned up after an unfinished run in " + f.path + "\n");
    EXPECT_EQ(listing(f.path), (std::set<std::string>{".patchview-live", "a", "b"}));
    EXPECT_EQ(got(f / "a"), "old a");
    close(live);
}

TEST(OutputSet, WhoMayWriteIntoAFolderByItsMode) {
    NEEDS_ROOT();
    // A process of user A with the supplementary group 4300.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t process = fork();
    if (process == 0) {
        const gid_t group = 4300;
        if (setgroups(1, &group) != 0 || setgid(UserA) != 0 || setuid(UserA) != 0) {
            _exit(1);
        }
        close(ready[1]);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    EXPECT_EQ(read(ready[0], &byte, 1), 0);  // its set-up done
    close(ready[0]);
    struct Case {
        uid_t owner;
        gid_t group;
        mode_t mode;
        bool mayWrite;
    };
    const Case cases[] = {
        {UserA, 0, 0755, true},     {UserA, 0, 0555, false},    {UserB, 4300, 0775, true},
        {UserB, 4300, 0755, false}, {UserB, UserA, 0775, true}, {UserB, 0, 0757, true},
        {UserB, 0, 0775, false},
    };
    for (const Case& c : cases) {
        struct stat folder = {};
        folder.st_uid = c.owner;
        folder.st_gid = c.group;
        folder.st_mode = S_IFDIR | c.mode;
        EXPECT_EQ(output::processMayWrite(process, folder), c.mayWrite)
            << c.owner << " " << c.group << " " << std::oct << c.mode;
    }
    EXPECT_TRUE(output::processMayWrite(999999999, {}));  // unknown: waited for
    struct stat closed = {};
    closed.st_mode = S_IFDIR | 0500;
    EXPECT_TRUE(output::processMayWrite(getpid(), closed));  // root may
    kill(process, SIGKILL);
    waitpid(process, nullptr, 0);
}

TEST(OutputSet, NamesAreResolvedAsTheKernelResolvesThem) {
    Folder f;
    ASSERT_EQ(mkdir((f / "dir").c_str(), 0700), 0);
    // A chain of links as long as the kernel follows, and one more.
    for (int k = 1; k <= 41; ++k) {
        const std::string to = k == 1 ? "dir/file" : "chain" + std::to_string(k - 1);
        ASSERT_EQ(symlink(to.c_str(), (f / ("chain" + std::to_string(k))).c_str()), 0);
    }
    ASSERT_EQ(symlink("/", (f / "root").c_str()), 0);
    const std::string loop = std::strerror(ELOOP);
    const std::pair<std::string, std::string> cases[] = {
        {f / "chain40", ""},
        {f / "chain41", "cannot write " + (f / "chain41") + ": " + loop},
        {f / "root", "cannot write " + (f / "root") + ": " + std::strerror(EISDIR)},
        {f / "dir/", "cannot write " + (f / "dir/") + ": " + std::strerror(EISDIR)},
        {f / "new/", "cannot write " + (f / "new/") + ": " + std::strerror(ENOENT)},
        {f / "dir/../dir/./x", ""},
        {"/dev/fd/99", "cannot write /dev/fd/99: " + std::string(std::strerror(EBADF))},
        {"/dev/fd/9999999999",
         "cannot write /dev/fd/9999999999: " + std::string(std::strerror(EBADF))},
        {f / "tab\tand\nnewline", ""},
    };
    for (const auto& [name, error] : cases) {
        EXPECT_EQ(commitFiles({name}, "x"), error) << name;
    }
    EXPECT_EQ(got(f / "dir/file") + got(f / "dir/x"), "xx");
    // A link longer than the first buffer that reads it; a socket; a file
    // where a folder is wanted.
    std::string longer = "dir";
    for (int n = 0; n < 150; ++n) {
        longer += "/.";
    }
    ASSERT_EQ(symlink((longer + "/long").c_str(), (f / "long").c_str()), 0);
    EXPECT_EQ(commitFiles({f / "long"}, "long"), "");
    EXPECT_EQ(got(f / "dir/long"), "long");
    const std::string socketPath = f / "sock";
    ASSERT_TRUE(makeSocket(socketPath));
    EXPECT_EQ(commitFiles({socketPath}, "x"),
              "cannot write " + socketPath + ": a socket is not a file");
    {
        OutputSet set("probe");
        std::string error;
        EXPECT_FALSE(set.makeFolder(f / "dir/file/sub", error));
        EXPECT_EQ(error, "cannot write into " + (f / "dir/file/sub") + ": not a folder");
    }
    // An open folder's descriptor leads into that folder.
    const int dir = open((f / "dir").c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(commitFiles({"/dev/fd/" + std::to_string(dir) + "/by-fd"}, "fd"), "");
    close(dir);
    EXPECT_EQ(got(f / "dir/by-fd"), "fd");
    // Every control character is escaped, and nothing else.
    EXPECT_EQ(output::printable(std::string("a\x01\x1f\x7f b~\xc3\xa9\t\n\0z", 13)),
              "a\\x01\\x1f\\x7f b~\xc3\xa9\\t\\n\\x00z");
    // A name's control characters are escaped in every message.
    OutputSet set("probe");
    set.add(f / "no\nsuch/file");
    std::string error;
    EXPECT_EQ(set.prepare(error), OutputSet::Prepared::Failed);
    EXPECT_EQ(error, "cannot write " + f.path + "/no\\nsuch/file: " + std::strerror(ENOENT));
}

TEST(OutputSet, WhenASetGoesEverythingIsAsBefore) {
    Folder f;
    ASSERT_EQ(mkfifo((f / "pipe").c_str(), 0600), 0);
    const int reader = open((f / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
    // Every ending signal with a handler of its own before the set.
    const int endings[] = {SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2,
                           SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGPWR};
    struct sigaction custom = {};
    custom.sa_handler = [](int) {};
    struct sigaction before[11] = {};
    for (int n = 0; n < 11; ++n) {
        ASSERT_EQ(sigaction(endings[n], &custom, &before[n]), 0);
    }
    // A soft limit of descriptors under the hard one, raised while the set
    // lives and then lowered again.
    rlimit files = {};
    getrlimit(RLIMIT_NOFILE, &files);
    const rlim_t soft = files.rlim_cur;
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 200);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &files), 0);
    // Standard input open, as a set would make it, so that closing it shows.
    if (fcntl(STDIN_FILENO, F_GETFD) == -1) {
        ASSERT_EQ(::open("/dev/null", O_RDONLY), STDIN_FILENO);
    }
    const std::set<std::string> open = openDescriptors();
    for (bool commits : {false, true}) {
        OutputSet set("probe");
        std::string error;
        ASSERT_TRUE(set.makeFolder(f / "made", error)) << error;
        set.add(f / "made/file");
        set.add(f / "pipe");
        set.add("-");
        ASSERT_EQ(set.prepare(error), OutputSet::Prepared::Ready) << error;
        EXPECT_TRUE(set.writesStandardOutput());
        rlimit during = {};
        getrlimit(RLIMIT_NOFILE, &during);
        EXPECT_EQ(during.rlim_cur, during.rlim_max);
        std::FILE* file = set.open(0, error);
        ASSERT_NE(file, nullptr) << error;
        ASSERT_TRUE(set.close(0, file, error)) << error;
        file = set.open(1, error);
        ASSERT_NE(file, nullptr) << error;
        ASSERT_TRUE(set.close(1, file, error)) << error;
        EXPECT_EQ(commits, commits && set.commit(error)) << error;
    }
    EXPECT_EQ(openDescriptors(), open);
    struct sigaction after = {};
    for (int n = 0; n < 11; ++n) {
        sigaction(endings[n], nullptr, &after);
        EXPECT_EQ(after.sa_handler, custom.sa_handler) << endings[n];
        sigaction(endings[n], &before[n], nullptr);
    }
    sigaction(SIGPIPE, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_DFL);
    rlimit now = {};
    getrlimit(RLIMIT_NOFILE, &now);
    EXPECT_EQ(now.rlim_cur, files.rlim_cur);
    files.rlim_cur = soft;
    setrlimit(RLIMIT_NOFILE, &files);
    close(reader);
    EXPECT_EQ(listing(f / "made"), (std::set<std::string>{"file"}));
    // A folder made gets the umask's mode, as mkdir makes it.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat made = {};
    ASSERT_EQ(stat((f / "made").c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 07777, 0777 & ~mask);
}

}  // namespace

// The writer of the programs' files on its own: what a commit that fails
// halfway puts back, which names are one file, and how a signal ends a run
// before, during and after the commit. The programs' tests run the rest.

#include "output/output_set.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {

struct Folder {
    Folder() {
        std::string name = testing::TempDir() + "output-test-XXXXXX";
        path = mkdtemp(name.data());
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

bool isStale(const std::string& name) {
    return name.rfind("stale", 0) == 0;
}

TEST(OutputSet, ACommitReplacesEveryNameOrPutsEveryOneBack) {
    Folder f;
    put(f / "a", "old a");
    put(f / "stale-1", "old stale");
    ASSERT_EQ(mkdir((f / "stale-folder").c_str(), 0777), 0);
    ASSERT_EQ(symlink("a", (f / "link").c_str()), 0);
    const std::set<std::string> before = listing(f.path);
    for (bool fails : {true, false}) {
        SCOPED_TRACE(fails ? "the last rename fails" : "every rename works");
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
    const char* const pairs[][2] = {
        {"x", "./x"}, {"x", "to-x"}, {"hard-x", "x"}, {"new", "./new"}, {"to-new", "new"}};
    for (const auto& pair : pairs) {
        OutputSet set("probe");
        set.add(f / pair[0]);
        set.add(f / pair[1]);
        std::string error;
        EXPECT_EQ(set.prepare(error), OutputSet::Prepared::SameFile) << pair[0] << " " << pair[1];
        EXPECT_EQ(error, (f / pair[0]) + " and " + (f / pair[1]) + " are the same file");
    }
    OutputSet set("probe");
    set.add(f / "x");
    set.add(f / "new2");
    std::string error;
    EXPECT_EQ(set.prepare(error), OutputSet::Prepared::Ready) << error;
    EXPECT_EQ(listing(f.path).size(), before.size() + 1);  // the private folder
}

TEST(OutputSet, ACommitWaitsWhileAnotherRunCommitsIntoTheSameFolder) {
    Folder f;
    const int other = open(f.path.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
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
    close(other);
    commit.join();
    EXPECT_TRUE(committed) << error;
    EXPECT_EQ(got(f / "file"), "new");
}

struct Ending {
    int status;
    std::string line;
};

// Runs body in a child with its standard error read back.
Ending inChild(const std::function<void()>& body) {
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDERR_FILENO);
        body();
        _exit(0);
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

TEST(OutputSet, EverySignalEndsTheRunHonestly) {
    Folder f;
    const std::string made = f / "made/deeper";
    // Mid-run: nothing left, not even the folders made, one line.
    const std::pair<int, const char*> signals[] = {
        {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGQUIT, "SIGQUIT"}};
    for (const auto& [signal, name] : signals) {
        const int sent = signal;  // a structured binding is not captured before C++20
        const Ending end = inChild([&] { _exit(recordWith(made, sent, false)); });
        EXPECT_TRUE(WIFSIGNALED(end.status) && WTERMSIG(end.status) == signal) << end.status;
        EXPECT_FALSE(WCOREDUMP(end.status));
        EXPECT_EQ(end.line, std::string("probe: interrupted by ") + name + "; no file written\n");
        EXPECT_EQ(listing(f.path).size(), 0u) << end.line;
    }
    // Ignored at start (nohup): it stays ignored and the files are kept.
    Ending end = inChild([&] {
        std::signal(SIGHUP, SIG_IGN);
        _exit(recordWith(made, SIGHUP, false));
    });
    EXPECT_EQ(end.status, 0) << end.line;
    EXPECT_EQ(got(made + "/file").size(), 5000u);
    // During the commit: the set is completed, then the signal ends the run.
    end = inChild([&] { _exit(recordWith(f / "commit", SIGTERM, true)); });
    EXPECT_TRUE(WIFSIGNALED(end.status) && WTERMSIG(end.status) == SIGTERM) << end.status;
    EXPECT_EQ(end.line, "probe: interrupted by SIGTERM; the files are kept\n");
    EXPECT_EQ(got(f / "commit/file").size(), 5000u);
    // A file size limit is a write error, not a signal.
    end = inChild([&] {
        const rlimit limit = {1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(recordWith(f / "limited", 0, true));
    });
    EXPECT_TRUE(WIFEXITED(end.status) && WEXITSTATUS(end.status) == 12) << end.status;
    EXPECT_EQ(end.line, "cannot write " + (f / "limited/file") + ": File too large\n");
    EXPECT_EQ(listing(f.path), (std::set<std::string>{"commit", "made"}));
}

}  // namespace

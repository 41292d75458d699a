#pragma once
// A program's output files, all or none, safe on a machine shared with other
// users. The recorder and the measuring program write through one OutputSet:
//  - names are resolved as output/names.h says: links only where the
//    kernel's rule for shared folders allows, /dev/stdout and /dev/fd/N as
//    the open descriptor, never a block device, socket or folder;
//  - a new name or a regular file is written as a new file (with no name
//    until the commit where the file system allows) and put in place by the
//    commit of output/commit.h, which checks every name again, keeps the old
//    files' permission bits, owner and group, syncs, and replaces every name
//    or none;
//  - a named pipe, a character device and an open descriptor ("-" is
//    standard output) are written to, never replaced: the very file that was
//    checked, by device and inode;
//  - the endings of output/endings.h: a signal that ends the program removes
//    everything not yet committed, folders that makeFolder made included.
// One set at a time; create it before starting threads that write to it.

#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

class OutputSet {
  public:
    // program names the lines on standard error. Also makes sure that no
    // file opened from here on lands on a closed standard stream.
    explicit OutputSet(const std::string& program);
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;
    // Without a commit, removes everything written and every folder made;
    // then restores the signals' actions.
    ~OutputSet();

    // Makes folder and its missing parents, as mkdir -p does, and makes sure
    // files can be created in it. On failure returns false with one line.
    bool makeFolder(const std::string& folder, std::string& error);

    // Adds the file path ("-": standard output); returns its number.
    std::size_t add(const std::string& path);

    // Also removes, in the commit, the regular files and links in folder
    // whose names stale() accepts and that are not written by the set.
    void removeStale(const std::string& folder, std::function<bool(const std::string&)> stale);

    enum class Prepared { Ready, SameFile, Failed };
    // Decides how each file is written and refuses two names for one file
    // (by device and inode, by the same new name, or by names that the folder
    // takes for one, such as names that differ in case only); on anything
    // but Ready, error holds one line. First cleans up after earlier runs
    // that ended in the middle of a commit into the same folders.
    Prepared prepare(std::string& error);

    // Whether a file of the set is written to standard output's open file
    // (after prepare).
    bool writesStandardOutput() const;

    // Opens file n for writing (after prepare); nullptr with error on failure.
    std::FILE* open(std::size_t n, std::string& error);
    // Closes file n, checking that everything was written and, for a new
    // file, synced.
    bool close(std::size_t n, std::FILE* file, std::string& error);

    // Puts every file in place and removes the stale names, all or none. On
    // failure nothing is replaced or removed and error says why.
    bool commit(std::string& error);

    // File n as the user named it, printable on one line ("standard output"
    // for "-").
    std::string name(std::size_t n) const;

    // Flushes standard output; false with error if anything written to it
    // since the start was lost.
    static bool flushStandardOutput(std::string& error);

    struct State;

  private:
    std::unique_ptr<State> state_;
};

// text with every control character escaped, so that a message that shows a
// name stays one line.
std::string printableText(const std::string& text);

// For the tests of the commit: called before each rename with the name as
// given; a non-zero result fails that rename with that errno.
extern int (*outputRenameFault)(const std::string& path);
// For the tests: the commit behaves as on a file system that cannot
// exchange two names.
extern bool outputWithoutExchange;
// For the tests: called with each descriptor before it is synced; a
// non-zero result fails that sync with that errno.
extern int (*outputSyncFault)(int fd);
// For the tests: every write into the writer's files goes through it.
extern ssize_t (*outputWrite)(int fd, const void* data, std::size_t size);

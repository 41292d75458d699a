#pragma once
// A program's output files, all or none. The recorder and the measuring
// program write through one OutputSet:
//  - a new name or a regular file is written under a short temporary name in
//    a private folder beside it (.patchview-XXXXXX) and renamed at the
//    commit; a symbolic link is followed and its target replaced, so the
//    link stays a link;
//  - a character device, a named pipe or a socket, and "-" (standard output)
//    are written directly and never replaced;
//  - the commit replaces every name or none: it holds a lock on each folder,
//    checks every name before the first rename, and puts the old files back
//    if a rename still fails;
//  - SIGINT, SIGTERM, SIGHUP and SIGQUIT, unless ignored at start, remove
//    everything not yet committed (the temporary files and the folders that
//    makeFolder made), print one line and end the program by that signal;
//    during the commit they wait until the set is complete. SIGXFSZ and
//    SIGPIPE are ignored while the set lives, so that a file size limit or a
//    closed pipe is a write error.
// One set at a time; create it before starting threads that write to it.

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
    // (by device and inode, or the same new name in the same folder); on
    // anything but Ready, error holds one line.
    Prepared prepare(std::string& error);

    // Opens file n for writing (after prepare); nullptr with error on failure.
    std::FILE* open(std::size_t n, std::string& error);
    // Closes file n, checking that everything was written.
    bool close(std::size_t n, std::FILE* file, std::string& error);

    // Puts every file in place and removes the stale names, all or none. On
    // failure nothing is replaced or removed and error says why.
    bool commit(std::string& error);

    // File n as the user named it ("standard output" for "-").
    std::string name(std::size_t n) const;

    // Flushes standard output; false with error if anything written to it
    // since the start was lost.
    static bool flushStandardOutput(std::string& error);

    struct State;

  private:
    std::unique_ptr<State> state_;
};

// For the tests of the commit: called before each rename with the final
// path; a non-zero result fails that rename with that errno.
extern int (*outputRenameFault)(const std::string& path);

#pragma once
// The recorder's files, all or none: each is written under a temporary name
// beside its final one, and all are renamed at the end. A failure, or
// SIGINT, SIGTERM or SIGHUP on the way, removes every temporary file, so no
// half-written or partial set of files is ever left.

#include <cstdio>
#include <string>
#include <vector>

// Makes folder if it is missing and checks that a file can be created in it.
// On failure returns false with one line naming the cause in error.
bool prepareFolder(const std::string& folder, std::string& error);

class OutputFiles {
  public:
    // The files to come, by name in folder. From here until the object is
    // gone, SIGINT, SIGTERM and SIGHUP are only noted (see caughtSignal), so
    // that the recording can stop at its next step and clean up.
    OutputFiles(const std::string& folder, const std::vector<std::string>& names);
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;
    // Removes what was not committed and restores the signals' actions.
    ~OutputFiles();

    // Opens file n under its temporary name; nullptr with error on failure.
    std::FILE* open(std::size_t n, std::string& error);
    // Closes file n, checking that everything was written.
    bool close(std::size_t n, std::FILE* file, std::string& error);
    // Renames every file to its final name.
    bool commit(std::string& error);

    // The final path of file n.
    const std::string& path(std::size_t n) const { return finals_[n]; }

    // The signal that asked the program to end, or 0.
    static int caughtSignal();

  private:
    std::vector<std::string> finals_;
    std::vector<std::string> temporaries_;
    std::vector<bool> opened_;
    bool committed_ = false;
};

#pragma once
// The journal of a commit, and the clean-up after runs that ended without
// one. A commit writes, into its private folder in each folder, the list of
// the changes it is about to make, and syncs it before the first change. A
// later run into the folder finds the private folders of runs that ended
// unfinished (their own user's, their lock free), undoes, judging by the
// inodes found at each name, every change that such a commit made, so that
// the folder holds one whole set again, and removes them.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "output/output_set.h"

namespace output {

// The names of private folders begin so.
constexpr const char PrivatePrefix[] = ".patchview-";
constexpr const char JournalName[] = "journal";
// The mode of a private folder and of the files that only the run reads.
constexpr mode_t PrivateFolderMode = 0700;
constexpr mode_t PrivateFileMode = 0600;

// One change that a commit makes to a folder, as the journal lists it.
struct Entry {
    // 'R' a regular file replaced: the new file comes from temporary, the old
    //     one goes there (or, without exchange, to temporary + ".old");
    // 'N' a new name: the new file comes from temporary;
    // 'S' a stale name removed: the old file goes to temporary.
    char op = 'N';
    std::string temporary;
    std::string name;
    ino_t made = 0;
    ino_t old = 0;
};

// Where an old file goes without an exchange.
std::string asideOf(const std::string& temporary);

// Writes the journal of entries into the private folder open at privateFd,
// synced; false with errno on failure.
bool writeJournal(int privateFd, const std::vector<Entry>& entries);

// Undoes entry e in folder (with its private folder), as far as it was done:
// 1 when something was put back, 0 when nothing had been done, -1 on
// failure.
int rollBack(int folder, int privateFd, const Entry& e);

// Cleans up after the runs that ended unfinished in folder f of state, as
// above, with one line on standard error.
void recoverLeftovers(OutputSet::State& state, std::size_t f);

}  // namespace output

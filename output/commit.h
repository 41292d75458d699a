#pragma once
// The commit of a set: every new file put in place, or none, and what a run
// that ended in the middle of one left behind put right by a later run.
//  - Under the lock of each folder, every final name is checked again: it
//    must hold a regular file (which is replaced, keeping its permission
//    bits, and its owner and group where the user may set them) or nothing
//    (a new name). Whatever is found moved aside is compared with what was
//    checked, and anything else goes straight back to its name and refuses
//    the commit: nothing that was at a name is ever kept away from it.
//  - Each new file is synced before it is put in place and each folder after
//    the commit, so that after a power loss a name holds the old file or the
//    new one, whole.
//  - The old file and the new one change names at once where the file system
//    can; elsewhere the old file is moved aside and put back the same way.
//  - A journal in the run's private folder lists the changes before the
//    first one is made. A later run into the folder finds the private
//    folders of runs that ended without cleaning up (their lock free), puts
//    back every old file that such a commit moved aside, so that the folder
//    holds one whole set again, and removes them.

#include <cstddef>
#include <string>

#include "output/output_set.h"

namespace output {

// Puts every file of the prepared set in place, and removes its stale names,
// all or none; on failure nothing is changed and error says why.
bool commitSet(OutputSet::State& state, std::string& error);

// Whether folder f takes two names that differ (such as case) for one file;
// on finding two such new names among the set's, a and b are their targets.
bool sameNewNames(OutputSet::State& state, std::size_t f, std::size_t& a, std::size_t& b);

}  // namespace output

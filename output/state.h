#pragma once
// The state of the one live OutputSet, shared by the writer's files (not
// part of the library's interface).

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "output/endings.h"
#include "output/output_set.h"

namespace output {

// A file's identity.
struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const Identity& other) const { return dev == other.dev && ino == other.ino; }
    bool operator!=(const Identity& other) const { return !(*this == other); }
};

inline Identity identityOf(const struct stat& info) {
    return {info.st_dev, info.st_ino};
}

// A written file's descriptor under a stdio stream, keeping the first write
// error: stdio itself only keeps that there was one.
struct Stream {
    int fd = -1;
    bool keepFd = false;  // a new file: the set keeps the descriptor at the close
    int error = 0;
};

// A folder that receives new files.
struct Folder {
    std::string shown;
    int fd = -1;  // opened for reading where allowed (to lock and sync it), else O_PATH
    bool readable = false;
    Identity id;
    // The private folder of this run's named temporary files, the old files
    // a commit moves aside and the commit's journal; none until needed.
    std::string privateName;
    int privateFd = -1;
    bool noTmpfiles = false;  // found to have no nameless temporary files
};

enum class Kind {
    Replace,     // a new or regular file, written anew and put in place at the commit
    InPlace,     // a named pipe or character device, written to
    Descriptor,  // an open descriptor ("-", /dev/stdout, /dev/fd/N), written to
};

struct Target {
    std::string given;
    std::string shown;  // given, printable on one line
    Kind kind = Kind::Replace;
    int descriptor = -1;  // Descriptor: its number
    int pinned = -1;      // InPlace: an O_PATH descriptor of the very file checked
    int placeFd = -1;     // InPlace: the folder of its name (O_PATH)
    std::size_t folder = 0;
    std::string name;  // the final name in the folder
    bool exists = false;
    struct stat checked = {};  // the file found at the check
    // The new file of a Replace target: a nameless temporary file kept open,
    // or a file named temporary in the folder's private folder.
    int tempFd = -1;
    std::string temporary;
    bool written = false;
    std::shared_ptr<Stream> stream;
};

// A folder made by makeFolder, removed again unless the set is kept.
struct MadeFolder {
    int parentFd = -1;
    std::string name;
};

struct StaleRule {
    std::string folder;
    std::function<bool(const std::string&)> stale;
};

}  // namespace output

struct OutputSet::State {
    std::string program;
    std::vector<output::Folder> folders;
    std::vector<output::Target> targets;
    std::vector<output::StaleRule> staleRules;
    std::vector<output::MadeFolder> madeFolders;
    bool prepared = false;
    bool kept = false;
    std::size_t keptDescriptors = 0;  // nameless temporary files held open
    std::size_t descriptorBudget = 0;
    bool nameless = false;  // whether nameless temporary files can be linked later
    rlimit openFiles = {};  // the limit at the start, raised while the set lives
    std::unique_ptr<output::Endings> endings;

    // Finds or adds the folder open at fd (which it takes); its index. Takes
    // the state (output::Held) itself.
    std::size_t addFolder(int fd, const std::string& shown);
    // The following change what the handler reads: the caller holds the
    // state (output::Held).
    // Creates the private folder of folder f, locked against other runs'
    // clean-up; false with error on failure.
    bool makePrivate(std::size_t f, std::string& error);
    // Gives the new file of target t a name in its folder's private folder.
    bool nameTemporary(output::Target& t, std::string& error);
    // Removes what is not committed; async-signal-safe (the handler calls it).
    void discard();
    // Empties and removes every private folder (outside a handler).
    void clearPrivate();
    // Prints one line on standard error, prefixed with the program's name.
    void say(const std::string& line) const;
};

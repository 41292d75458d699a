#pragma once
// What a name given to the writer is, and whether it may be written, found
// the way the kernel would resolve it but one component at a time from open
// folders, so that nothing can be swapped between a check and its use:
//  - a symbolic link is followed only where the kernel's rule for shared
//    folders allows it, whatever the system's setting says: in a folder that
//    is sticky and writable by all, only a link that belongs to the user or
//    to the folder's owner;
//  - the links that the kernel resolves to this process's own descriptors
//    (/dev/stdout, /dev/fd/N, /proc/self/fd/N) stand for the descriptor;
//  - a block device, a socket or a folder is never written.

#include <sys/stat.h>

#include <string>
#include <vector>

namespace output {

// name with every control character escaped (\n, \t, \xHH), so that a
// message that shows it stays one line.
std::string printable(const std::string& name);

// The user called uid, or the number.
std::string userName(uid_t uid);

struct Resolved {
    enum class Kind {
        NewName,     // nothing at name in folder
        File,        // a regular file at name in folder
        InPlace,     // a named pipe or a character device at name, pinned
        Descriptor,  // the open descriptor number
        Folder,      // a folder (folderFd is the folder itself)
    };
    Kind kind = Kind::NewName;
    int folderFd = -1;  // O_PATH, owned by the caller
    std::string name;
    int pinned = -1;  // InPlace: O_PATH descriptor of the file, owned by the caller
    int descriptor = -1;
    struct stat info = {};  // File, InPlace, Descriptor, Folder
};

// A folder that resolve made (with makeFolders): its parent, open, and its
// name there.
struct Made {
    int parentFd = -1;
    std::string name;
};

// Resolves path. With makeFolders, missing folders on the way and at the end
// are made (as mkdir -p makes them) and listed in made, and the result is a
// folder. On failure returns false with error as "cannot write SHOWN: why"
// (shown is path as the messages show it).
bool resolve(const std::string& path, const std::string& shown, bool makeFolders,
             std::vector<Made>* made, Resolved& out, std::string& error);

}  // namespace output

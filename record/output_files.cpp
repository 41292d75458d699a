#include "record/output_files.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[sizeof EndingSignals / sizeof EndingSignals[0]];

volatile std::sig_atomic_t caught = 0;

void note(int signal) {
    caught = signal;
}

std::string reason(const std::string& what, const std::string& path) {
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

bool prepareFolder(const std::string& folder, std::string& error) {
    // Each missing level in turn, as mkdir -p does.
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        struct stat info = {};
        if (stat(level.c_str(), &info) != 0 && mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) {
            error = reason("create the folder", level);
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info = {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "cannot write into " + folder + ": not a folder";
        return false;
    }
    std::string probe = folder + "/.patchview-record-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0) {
        error = reason("write into the folder", folder);
        return false;
    }
    close(fd);
    unlink(probe.c_str());
    return true;
}

OutputFiles::OutputFiles(const std::string& folder, const std::vector<std::string>& names)
    : opened_(names.size(), false) {
    const std::string tag = "." + std::to_string(getpid()) + ".part";
    for (const std::string& name : names) {
        finals_.push_back(folder + "/" + name);
        temporaries_.push_back(folder + "/." + name + tag);
    }
    struct sigaction action = {};
    action.sa_handler = note;
    sigemptyset(&action.sa_mask);
    for (std::size_t n = 0; n < std::size(EndingSignals); ++n) {
        sigaction(EndingSignals[n], &action, &previousActions[n]);
    }
}

OutputFiles::~OutputFiles() {
    if (!committed_) {
        for (std::size_t n = 0; n < temporaries_.size(); ++n) {
            if (opened_[n]) {
                unlink(temporaries_[n].c_str());
            }
        }
    }
    for (std::size_t n = 0; n < std::size(EndingSignals); ++n) {
        sigaction(EndingSignals[n], &previousActions[n], nullptr);
    }
}

int OutputFiles::caughtSignal() {
    return caught;
}

std::FILE* OutputFiles::open(std::size_t n, std::string& error) {
    opened_[n] = true;
    std::FILE* file = std::fopen(temporaries_[n].c_str(), "wb");
    if (file == nullptr) {
        error = reason("write", finals_[n]);
    }
    return file;
}

bool OutputFiles::close(std::size_t n, std::FILE* file, std::string& error) {
    const bool written = std::fflush(file) == 0 && std::ferror(file) == 0;
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        if (!written) {
            errno = writeErrno;
        }
        error = reason("write", finals_[n]);
        return false;
    }
    return true;
}

bool OutputFiles::commit(std::string& error) {
    for (std::size_t n = 0; n < finals_.size(); ++n) {
        if (std::rename(temporaries_[n].c_str(), finals_[n].c_str()) != 0) {
            error = reason("rename into", finals_[n]);
            return false;
        }
    }
    committed_ = true;
    return true;
}

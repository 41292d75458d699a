// patchview-measure: how far the geometry that each representation draws
// lies from the tube it was sampled from. No window and no GL.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "measure/measure.h"
#include "measure/report.h"

namespace {

const char* const Usage =
    "usage: patchview-measure [--json FILE] [--points FILE]\n"
    "\n"
    "Samples the tube as the viewer does for key 1 (Ferguson patches) and for any\n"
    "other key (cubic strips), builds the geometry the viewer draws, and prints how\n"
    "far it lies from the exact tube, one block per representation, with a third\n"
    "block for Ferguson patches whose derivatives are scaled by the parameter steps\n"
    "(a comparison the viewer does not draw).\n"
    "\n"
    "  --json FILE     also write the figures as JSON\n"
    "  --points FILE   also write every measured point as CSV (about 110 MB)\n"
    "  -h, --help      show this text\n"
    "  --version       show the program's name and version\n";

// A file written under a temporary name beside its final one, then renamed.
struct Output {
    const char* option;
    std::string path;
    std::string temporary;
    std::FILE* file = nullptr;
};

// The temporary files, for a signal handler to remove.
constexpr int MaxOutputs = 2;
char pendingPaths[MaxOutputs][4096];
volatile std::sig_atomic_t pendingCount = 0;

void removePending() {
    for (int n = 0; n < pendingCount; ++n) {
        unlink(pendingPaths[n]);
    }
    pendingCount = 0;
}

void removePendingAndReraise(int signal) {
    removePending();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

[[noreturn]] void fail(const std::string& message, int status) {
    removePending();
    std::fprintf(stderr, "patchview-measure: %s\n", message.c_str());
    std::exit(status);
}

[[noreturn]] void failToWrite(const Output& o, int error) {
    fail("cannot write " + o.path + ": " + std::strerror(error), 1);
}

void open(Output& o) {
    struct stat info;
    if (stat(o.path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        failToWrite(o, EISDIR);
    }
    o.temporary = o.path + ".XXXXXX";
    if (o.temporary.size() >= sizeof pendingPaths[0]) {
        failToWrite(o, ENAMETOOLONG);
    }
    const int fd = mkstemp(&o.temporary[0]);
    if (fd < 0) {
        failToWrite(o, errno);
    }
    std::strcpy(pendingPaths[pendingCount], o.temporary.c_str());
    pendingCount = pendingCount + 1;
    // mkstemp makes the file private; the result gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    o.file = fdopen(fd, "w");
    if (o.file == nullptr) {
        failToWrite(o, errno);
    }
}

void finish(Output& o, bool written) {
    int error = written ? 0 : errno;
    if (std::fclose(o.file) != 0 && error == 0) {
        error = errno;
    }
    if (!written || error != 0) {
        failToWrite(o, error != 0 ? error : EIO);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Output json{"--json", "", ""};
    Output points{"--points", "", ""};
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "-h" || arg == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::fputs("patchview-measure " PATCHVIEW_VERSION "\n", stdout);
            return 0;
        }
        Output* target = nullptr;
        std::string value;
        for (Output* o : {&json, &points}) {
            const std::string name = o->option;
            if (arg == name) {
                if (a + 1 >= argc) {
                    fail(name + " needs a file name (see --help)", 2);
                }
                target = o;
                value = argv[++a];
            } else if (arg.compare(0, name.size() + 1, name + "=") == 0) {
                target = o;
                value = arg.substr(name.size() + 1);
            }
        }
        if (target == nullptr) {
            fail("unknown argument '" + arg + "' (see --help)", 2);
        }
        // "--json --points" is a forgotten name, not a file called --points.
        if (value.empty() || (value.size() > 1 && value[0] == '-')) {
            fail(std::string(target->option) + " needs a file name (see --help)", 2);
        }
        if (!target->path.empty()) {
            fail(std::string(target->option) + " is given twice", 2);
        }
        target->path = value;
    }
    if (!json.path.empty() && json.path == points.path) {
        fail("--json and --points name the same file", 2);
    }

    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(s, removePendingAndReraise);
    }
    for (Output* o : {&json, &points}) {
        if (!o->path.empty()) {
            open(*o);
        }
    }

    const CentreCurve curve;
    PointSink sink;
    if (points.file != nullptr) {
        writePointsHeader(points.file);
        sink = [&points](const MeasuredPoint& m) { writePoint(points.file, m); };
    }
    const std::vector<Block> blocks = measureAll(curve, sink);

    if (json.file != nullptr) {
        const std::string text = jsonReport(blocks);
        finish(json, std::fputs(text.c_str(), json.file) >= 0);
    }
    if (points.file != nullptr) {
        finish(points, std::ferror(points.file) == 0);
    }
    for (Output* o : {&json, &points}) {
        if (!o->path.empty() && std::rename(o->temporary.c_str(), o->path.c_str()) != 0) {
            failToWrite(*o, errno);
        }
    }
    pendingCount = 0;

    std::fputs(textReport(blocks).c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        fail(std::string("cannot write the report: ") + std::strerror(errno), 1);
    }
    return 0;
}

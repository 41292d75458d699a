// patchview-measure: how far the geometry that each representation draws
// lies from the tube it was sampled from. No window and no GL.

#include <cstdio>
#include <string>
#include <vector>

#include "distance/measure.h"
#include "measure/report.h"
#include "output/output_set.h"

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
    "  --version       show the program's name and version\n"
    "\n"
    "FILE - is standard output; the report then goes to standard error. Files are\n"
    "replaced at the end, both or neither; a device or a named pipe is written to.\n";

int fail(const std::string& message, int status) {
    std::fprintf(stderr, "patchview-measure: %s\n", printableText(message).c_str());
    return status;
}

// An output file: its option, its name and, while written, its stream.
struct Output {
    const char* option;
    std::string path;
    std::size_t number = 0;
    std::FILE* file = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    Output json{"--json", ""};
    Output points{"--points", ""};
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
                    return fail(name + " needs a file name (see --help)", 2);
                }
                target = o;
                value = argv[++a];
            } else if (arg.compare(0, name.size() + 1, name + "=") == 0) {
                target = o;
                value = arg.substr(name.size() + 1);
            }
        }
        if (target == nullptr) {
            return fail("unknown argument '" + arg + "' (see --help)", 2);
        }
        // "--json --points" is a forgotten name, not a file called --points;
        // "-" alone is standard output.
        if (value.empty() || (value.size() > 1 && value[0] == '-')) {
            return fail(std::string(target->option) + " needs a file name (see --help)", 2);
        }
        if (!target->path.empty()) {
            return fail(std::string(target->option) + " is given twice", 2);
        }
        target->path = value;
    }

    // From here a signal removes whatever the run made before it ends it.
    OutputSet files("patchview-measure");
    std::vector<Output*> outputs;
    for (Output* o : {&json, &points}) {
        if (!o->path.empty()) {
            o->number = files.add(o->path);
            outputs.push_back(o);
        }
    }
    std::string error;
    switch (files.prepare(error)) {
        case OutputSet::Prepared::Ready:
            break;
        case OutputSet::Prepared::SameFile:
            return fail(
                "--json " + json.path + " and --points " + points.path + " name the same file", 2);
        case OutputSet::Prepared::Failed:
            return fail(error, 1);
    }
    // Closes what is open, keeping the first error.
    const auto closeAll = [&](bool ok) {
        for (Output* o : outputs) {
            std::string why;
            if (o->file != nullptr && !files.close(o->number, o->file, why) && ok) {
                error = why;
                ok = false;
            }
            o->file = nullptr;
        }
        return ok;
    };
    for (Output* o : outputs) {
        o->file = files.open(o->number, error);
        if (o->file == nullptr) {
            closeAll(false);
            return fail(error, 1);
        }
    }

    const CentreCurve curve;
    PointSink sink;
    if (points.file != nullptr) {
        writePointsHeader(points.file);
        sink = [&points](const MeasuredPoint& m) { writePoint(points.file, m); };
    }
    const std::vector<Block> blocks = measureAll(curve, sink);
    // Once the points file failed (a full disk), the JSON is not written:
    // the error then names the file that failed.
    if (json.file != nullptr && (points.file == nullptr || std::ferror(points.file) == 0)) {
        std::fputs(jsonReport(blocks).c_str(), json.file);
    }
    if (!closeAll(true) || !files.commit(error)) {
        return fail(error, 1);
    }

    // Standard output may carry a file ("-", /dev/stdout): the report then
    // goes to standard error, so that the two never mix.
    const bool toStandardOutput = !files.writesStandardOutput();
    std::FILE* report = toStandardOutput ? stdout : stderr;
    std::fputs(textReport(blocks).c_str(), report);
    if (toStandardOutput && !OutputSet::flushStandardOutput(error)) {
        return fail(error + (outputs.empty() ? "" : " (the files are written)"), 1);
    }
    return 0;
}

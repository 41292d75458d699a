// Preloaded into the real viewer by scripts/fps and the memory checks: counts
// buffer swaps from outside the program and, after a warm-up, measures wall
// time, CPU time and resident memory over a fixed number of frames. The viewer itself is
// unchanged: every swap is passed on to the real function.

#include <dlfcn.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using SwapFunction = void (*)(void*, unsigned long);

long envNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text ? std::strtol(text, nullptr, 10) : fallback;
}

double seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A field of /proc/self/status in KiB: VmHWM (peak) or VmRSS (now).
long residentKiB(const char* field) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) {
        return -1;
    }
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
        }
    }
    std::fclose(status);
    return kib;
}

long swaps = 0;
double wallStart = 0.0;
double cpuStart = 0.0;
long rssAfterWarmUp = 0;

void note() {
    static const long warmUp = envNumber("PATCHVIEW_FPS_WARMUP", 20);
    static const long frames = envNumber("PATCHVIEW_FPS_FRAMES", 100);
    ++swaps;
    if (swaps == warmUp) {
        wallStart = seconds(CLOCK_MONOTONIC);
        cpuStart = seconds(CLOCK_PROCESS_CPUTIME_ID);
        rssAfterWarmUp = residentKiB("VmRSS:");
    } else if (swaps == warmUp + frames) {
        const double wall = seconds(CLOCK_MONOTONIC) - wallStart;
        const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
        const char* path = std::getenv("PATCHVIEW_FPS_OUT");
        std::FILE* out = path ? std::fopen(path, "w") : stderr;
        if (out) {
            std::fprintf(out,
                         "frames %ld\nfps %.2f\ncpu_ms_per_frame %.3f\npeak_rss_kib %ld\n"
                         "rss_after_warmup_kib %ld\nrss_end_kib %ld\n",
                         frames, static_cast<double>(frames) / wall,
                         cpu * 1e3 / static_cast<double>(frames), residentKiB("VmHWM:"),
                         rssAfterWarmUp, residentKiB("VmRSS:"));
            if (out != stderr) {
                std::fclose(out);
            }
        }
    }
}

}  // namespace

extern "C" void glXSwapBuffers(void* display, unsigned long drawable) {
    static const auto real = reinterpret_cast<SwapFunction>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    note();
    if (real) {
        real(display, drawable);
    }
}

#include "output/endings.h"

#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "output/state.h"

namespace output {
namespace {

struct Ending {
    int signal;
    const char* name;
};
constexpr Ending EndingSignals[] = {
    {SIGINT, "SIGINT"},   {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"},   {SIGQUIT, "SIGQUIT"},
    {SIGUSR1, "SIGUSR1"}, {SIGUSR2, "SIGUSR2"}, {SIGALRM, "SIGALRM"}, {SIGVTALRM, "SIGVTALRM"},
    {SIGPROF, "SIGPROF"}, {SIGXCPU, "SIGXCPU"}, {SIGPWR, "SIGPWR"},
};
constexpr int NEnding = sizeof EndingSignals / sizeof EndingSignals[0];
// Turned into write errors while a set lives.
constexpr int QuietSignals[] = {SIGXFSZ, SIGPIPE};
constexpr int NQuiet = sizeof QuietSignals / sizeof QuietSignals[0];

// The one live set, read by the handler.
OutputSet::State* active = nullptr;

// Who may touch the set's state: 0 free, 1 the program (with the ending
// signals blocked in its thread), 2 a handler ending the program.
std::atomic<int> stateLock{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free word");

void sleepMs(long ms) {
    timespec pause = {0, ms * 1000000L};
    nanosleep(&pause, nullptr);
}

sigset_t endingSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const Ending& ending : EndingSignals) {
        sigaddset(&set, ending.signal);
    }
    return set;
}

// Takes the state lock as who (1 or 2); never returns while another thread
// ends the program.
void takeStateLock(int who) {
    for (int expected = 0; !stateLock.compare_exchange_weak(expected, who); expected = 0) {
        if (expected == 2) {
            for (;;) {
                pause();
            }
        }
        sleepMs(1);
    }
}

// Async-signal-safe pieces of a line.
void append(char* line, std::size_t& used, std::size_t size, const char* text) {
    for (; *text != '\0' && used + 1 < size; ++text) {
        line[used++] = *text;
    }
}

void onEndingSignal(int signal) {
    takeStateLock(2);
    const char* signalName = "a signal";
    for (const Ending& ending : EndingSignals) {
        if (ending.signal == signal) {
            signalName = ending.name;
        }
    }
    char line[256];
    std::size_t used = 0;
    if (active != nullptr) {
        append(line, used, sizeof line, active->program.c_str());
        append(line, used, sizeof line, ": interrupted by ");
        append(line, used, sizeof line, signalName);
        if (active->kept) {
            append(line, used, sizeof line, "; the files are kept\n");
        } else {
            active->discard();
            append(line, used, sizeof line, "; no file written\n");
        }
        // A line that cannot be written changes nothing: the program ends.
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line, used);
    }
    // End as the signal would have ended us, without a core dump.
    prctl(PR_SET_DUMPABLE, 0);
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    _exit(128 + signal);
}

}  // namespace

struct Endings::Saved {
    struct sigaction ending[NEnding] = {};
    bool handled[NEnding] = {};
    struct sigaction quiet[NQuiet] = {};
};

Endings::Endings(OutputSet::State& state) : saved_(new Saved) {
    Held held;
    active = &state;
    struct sigaction action = {};
    action.sa_handler = onEndingSignal;
    action.sa_mask = endingSet();
    action.sa_flags = SA_RESTART;
    for (int n = 0; n < NEnding; ++n) {
        // A signal ignored at start (nohup, a background job) stays ignored.
        sigaction(EndingSignals[n].signal, nullptr, &saved_->ending[n]);
        if (saved_->ending[n].sa_handler != SIG_IGN) {
            sigaction(EndingSignals[n].signal, &action, nullptr);
            saved_->handled[n] = true;
        }
    }
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int n = 0; n < NQuiet; ++n) {
        sigaction(QuietSignals[n], &ignore, &saved_->quiet[n]);
    }
}

Endings::~Endings() {
    {
        Held held;
        for (int n = 0; n < NEnding; ++n) {
            if (saved_->handled[n]) {
                sigaction(EndingSignals[n].signal, &saved_->ending[n], nullptr);
            }
        }
        for (int n = 0; n < NQuiet; ++n) {
            sigaction(QuietSignals[n], &saved_->quiet[n], nullptr);
        }
        active = nullptr;
    }
    delete saved_;
}

Held::Held() {
    const sigset_t set = endingSet();
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
    takeStateLock(1);
}

Held::~Held() {
    stateLock.store(0);
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

}  // namespace output

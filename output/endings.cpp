#include "output/endings.h"

#include <sched.h>
#include <sys/prctl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <iterator>
#include <vector>

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
// Turned into write errors while a set lives.
constexpr int QuietSignals[] = {SIGXFSZ, SIGPIPE};

// The live set, read by the handler, which is installed only while a set
// lives.
OutputSet::State* active = nullptr;

// Set while the set's state is touched: by the program (with the ending
// signals blocked in its thread) or by a handler ending the program. A flag
// is always free of locks, as the handler needs.
std::atomic_flag stateLock = ATOMIC_FLAG_INIT;

sigset_t endingSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const Ending& ending : EndingSignals) {
        sigaddset(&set, ending.signal);
    }
    return set;
}

// Takes the state lock. A thread that finds a handler ending the program
// waits here until the program has ended.
void takeStateLock() {
    while (stateLock.test_and_set(std::memory_order_acquire)) {
        sched_yield();
    }
}

void onEndingSignal(int number) {
    takeStateLock();
    const char* signalName = "a signal";
    for (const Ending& ending : EndingSignals) {
        if (ending.signal == number) {
            signalName = ending.name;
        }
    }
    if (active != nullptr) {
        const bool kept = active->kept;
        if (!kept) {
            active->discard();
        }
        const char* parts[] = {active->program.c_str(), ": interrupted by ", signalName,
                               kept ? "; the files are kept\n" : "; no file written\n"};
        iovec line[std::size(parts)];
        std::size_t n = 0;
        for (const char* part : parts) {
            line[n++] = {const_cast<char*>(part), std::strlen(part)};
        }
        // A line that cannot be written changes nothing: the program ends.
        [[maybe_unused]] const ssize_t written = writev(STDERR_FILENO, line, std::size(parts));
    }
    // End as the signal would have ended us, without a core dump: raised
    // again with its default action, it is delivered as the handler returns
    // and the signal is no longer blocked.
    prctl(PR_SET_DUMPABLE, 0);
    std::signal(number, SIG_DFL);
    raise(number);
}

}  // namespace

// The signals whose action the set changed, with the actions before.
struct Endings::Saved {
    struct Changed {
        int signal;
        struct sigaction before;
    };
    std::vector<Changed> changed;
};

Endings::Endings(OutputSet::State& state) : saved_(new Saved) {
    Held held;
    active = &state;
    struct sigaction action = {};
    action.sa_handler = onEndingSignal;
    action.sa_mask = endingSet();  // the handler never returns, so no SA_RESTART
    struct sigaction before = {};
    for (const Ending& ending : EndingSignals) {
        // A signal ignored at start (nohup, a background job) stays ignored.
        sigaction(ending.signal, nullptr, &before);
        if (before.sa_handler != SIG_IGN) {
            sigaction(ending.signal, &action, nullptr);
            saved_->changed.push_back({ending.signal, before});
        }
    }
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    for (const int signal : QuietSignals) {
        sigaction(signal, &ignore, &before);
        saved_->changed.push_back({signal, before});
    }
}

Endings::~Endings() {
    {
        Held held;
        for (const Saved::Changed& changed : saved_->changed) {
            sigaction(changed.signal, &changed.before, nullptr);
        }
    }
    delete saved_;
}

Held::Held() {
    const sigset_t set = endingSet();
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
    takeStateLock();
}

Held::~Held() {
    stateLock.clear(std::memory_order_release);
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

}  // namespace output

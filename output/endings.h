#pragma once
// How a run that writes files ends on a signal. Every signal that is sent to
// end a program (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2,
// SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGPWR), unless ignored at start,
// removes what the live set has not committed, prints one line and ends the
// program by that signal, without a core dump. The signals of a crash keep
// their default. SIGXFSZ and SIGPIPE are ignored while the set lives, so that
// a file size limit or a closed pipe is a write error.

#include <signal.h>

#include "output/output_set.h"

namespace output {

// Installs the handling for state (the one live set) and restores the
// earlier actions when it goes.
class Endings {
  public:
    explicit Endings(OutputSet::State& state);
    Endings(const Endings&) = delete;
    Endings& operator=(const Endings&) = delete;
    ~Endings();

  private:
    struct Saved;
    Saved* saved_;
};

// Holds the set's state against the handler for as long as it lives: a
// signal that ends the program meanwhile waits, so that a commit completes
// and no change to the state is seen half-made.
class Held {
  public:
    Held();
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held();

  private:
    sigset_t saved_;
};

}  // namespace output

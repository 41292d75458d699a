#include "app/console.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>

#include "app/globals.h"

const char* const MenuText = "\nEnter choice \n1. Ferguson Patches\n2. My Patch\n";
const char* const ComputingText = "\n Computing Data............................\n";

void showText(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

namespace {

// The terminal mode to restore, also from a signal handler, and the key mode
// to take up again after a stop.
termios savedMode;
termios keyMode;
volatile std::sig_atomic_t terminalChanged = 0;

constexpr int RestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr std::size_t NRestoring = sizeof RestoringSignals / sizeof RestoringSignals[0];
struct sigaction previousActions[NRestoring];
// A signal ignored when the wait began (nohup, a background job) stays
// ignored: no handler of ours for it.
bool handled[NRestoring];

void restoreTerminal() {
    if (terminalChanged) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedMode);
        terminalChanged = 0;
    }
}

// Restores the terminal, then hands the signal to the action it had before:
// the default ends the program as it would have without us, and a program's
// own handler (the recorder's, which removes its files) runs as soon as this
// one returns.
void restoreAndReraise(int signal) {
    restoreTerminal();
    for (std::size_t n = 0; n < NRestoring; ++n) {
        if (RestoringSignals[n] == signal) {
            sigaction(signal, &previousActions[n], nullptr);
        }
    }
    raise(signal);
}

struct sigaction previousStopAction;
bool stopHandled = false;

// Ctrl-Z: the shell gets its terminal back as it was, and the key mode
// returns when the program is continued.
void restoreAndStop(int signal) {
    const bool changed = terminalChanged != 0;
    restoreTerminal();
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    // The signal is blocked while its handler runs: unblock it to stop now.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signal);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(signal);
    // Continued.
    action.sa_handler = restoreAndStop;
    sigaction(signal, &action, nullptr);
    if (changed && tcsetattr(STDIN_FILENO, TCSANOW, &keyMode) == 0) {
        terminalChanged = 1;
    }
}

void installRestoringHandlers() {
    struct sigaction action = {};
    action.sa_handler = restoreAndReraise;
    sigemptyset(&action.sa_mask);
    for (std::size_t n = 0; n < NRestoring; ++n) {
        sigaction(RestoringSignals[n], nullptr, &previousActions[n]);
        handled[n] = previousActions[n].sa_handler != SIG_IGN;
        if (handled[n]) {
            sigaction(RestoringSignals[n], &action, nullptr);
        }
    }
    action.sa_handler = restoreAndStop;
    sigaction(SIGTSTP, nullptr, &previousStopAction);
    stopHandled = previousStopAction.sa_handler != SIG_IGN;
    if (stopHandled) {
        sigaction(SIGTSTP, &action, nullptr);
    }
}

void removeRestoringHandlers() {
    for (std::size_t n = 0; n < NRestoring; ++n) {
        if (handled[n]) {
            sigaction(RestoringSignals[n], &previousActions[n], nullptr);
        }
    }
    if (stopHandled) {
        sigaction(SIGTSTP, &previousStopAction, nullptr);
    }
}

int readOneByte() {
    unsigned char byte = 0;
    ssize_t got = 0;
    do {
        got = read(STDIN_FILENO, &byte, 1);
    } while (got < 0 && errno == EINTR);
    return got == 1 ? byte : -1;
}

}  // namespace

int readMenuKey() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedMode) != 0) {
        return readOneByte();
    }
    keyMode = savedMode;
    // Only line editing and echo go; signals stay so that Ctrl-C interrupts.
    keyMode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    keyMode.c_cc[VMIN] = 1;
    keyMode.c_cc[VTIME] = 0;

    installRestoringHandlers();
    terminalChanged = 1;
    // TCSANOW, not TCSAFLUSH: keys typed ahead are the user's answer.
    if (tcsetattr(STDIN_FILENO, TCSANOW, &keyMode) != 0) {
        terminalChanged = 0;
    }
    const int key = readOneByte();
    restoreTerminal();
    removeRestoringHandlers();
    return key;
}

void applyMenuChoice(int key) {
    patchMode = key == '1' ? 0 : 1;
    orbitStepDeg = 10.0;
    curveStepDeg = 4;
    sectionStepDeg = patchMode == 0 ? 72 : 8;
}

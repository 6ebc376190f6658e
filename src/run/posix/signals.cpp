// The fatal signals on POSIX: their handler deletes the unfinished outputs and then ends the
// process by the same signal, so the shell sees what really happened. The handler may run on either
// conversion thread: the register does not change while both run.
#include "run/signals.h"
#include "run/outputs.h"
#include "run/errExit.h"

#include <csignal>
#include <cstdlib>
#include <pthread.h>

namespace {

// The signals that end a long conversion in practice: Ctrl-C, kill, a closed terminal, Ctrl-\,
// progress piped into a reader that quit, and the file-size and processor-time limits.
constexpr int fatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, SIGXCPU};

sigset_t caughtSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : fatalSignals) sigaddset(&set, sig);
    return set;
}

sigset_t beforeHold; // the mask as it was before holdSignals

// Runs inside a signal: only lstat, unlink, write, signal and raise, which are async-signal-safe,
// and a lookup of an error's text in constant data (errorTextInSignal in system/posix/errors.cpp).
// No stdio, no memory. The names and identities it reads were complete before their outputs went
// on the register.
void deleteUnfinished(int sig) {
    discardOutputsInSignal();
    signal(sig, SIG_DFL);
    raise(sig);
}

} // namespace

void catchSignals() {
    struct sigaction act = {};
    act.sa_handler = deleteUnfinished;
    act.sa_mask = caughtSignals();
    for (int sig : fatalSignals) {
        struct sigaction old = {};
        if (sigaction(sig, nullptr, &old) != 0) errExit();
        // A signal ignored by whoever started us (nohup, trap '' XFSZ) stays ignored.
        if (old.sa_handler == SIG_IGN) continue;
        if (sigaction(sig, &act, nullptr) != 0) errExit();
    }
}

// Only the main thread changes the register, and only while it is the one thread, so only its own
// mask matters here.
void holdSignals() {
    const sigset_t caught = caughtSignals();
    errExitOn(pthread_sigmask(SIG_BLOCK, &caught, &beforeHold));
}

void releaseSignals() { errExitOn(pthread_sigmask(SIG_SETMASK, &beforeHold, nullptr)); }

bool stopRequested() { return false; }

// Never called: no stop request is ever raised here.
void endByStop() { std::abort(); }

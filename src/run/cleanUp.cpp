// The register of unfinished outputs and the two ways an unfinished output is deleted.
//
// An output goes on the register (df3File[c] set) the moment it exists on disk and comes off it only
// when its final close has succeeded. Whatever ends the run in between, the output is deleted:
//  - a normal end (a refusal, errExit, a failed final close) runs cleanUp through atexit;
//  - a fatal signal runs deleteUnfinished, which unlinks and then lets the signal end the process.
// Files that existed before the run never go on the register, so neither path can touch them. Both
// paths delete by name, and a name can be taken over meanwhile (another run, a rename): so each
// output's identity is recorded as it is created, and a name is deleted only while it still leads
// to that very file. That is checked right before the delete; only a rename in that very instant
// can still be hit. An output that is there but cannot be deleted (a read-only file system, a
// directory made unwritable meanwhile) is named on standard error, so it is not left silently.
//
// The handler may run on either conversion thread: the register does not change while both run.
#include "run/cleanUp.h"
#include "run/errExit.h"
#include "run/runState.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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

// Runs inside a signal: only lstat, unlink, write, signal and raise, which are async-signal-safe,
// and glibc's strerrordesc_np, a bounds-checked lookup in a constant table (see reportUndeleted).
// No stdio, no memory. The names and identities it reads were complete before their outputs went
// on the register.
void deleteUnfinished(int sig) {
    for (int c = 0; c < 3; c++)
        if (df3File[c] != nullptr) unlinkIfOurs(c);
    // End by the same signal, so the shell sees what really happened.
    signal(sig, SIG_DFL);
    raise(sig);
}

// "<prog>: cannot delete unfinished volume '<name>': <text>", in one write(2), so that it is safe
// inside a signal and no stream buffer holds it back. strerror may translate its text and take a
// lock, which is not safe inside a signal. glibc's untranslated table is, and the run never sets a
// locale, so there it gives the text errExit prints; elsewhere the line names the error number.
void reportUndeleted(const char *name, int error) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    const char *text = strerrordesc_np(error);
    if (text == nullptr) text = "Unknown error";
#else
    char text[24] = "error ", digits[12];
    int n = 0;
    for (unsigned v = static_cast<unsigned>(error); n == 0 || v != 0; v /= 10) digits[n++] = char('0' + v % 10);
    for (std::size_t at = 6; n > 0; at++) text[at] = digits[--n];
#endif
    char line[2048];
    std::size_t used = 0;
    for (const char *part : {prog, ": cannot delete unfinished volume '", name, "': ", text})
        for (; *part != '\0' && used < sizeof line - 1; part++) line[used++] = *part;
    line[used++] = '\n';
    const ssize_t written = write(STDERR_FILENO, line, used);
    (void)written; // nothing is left to tell if standard error itself fails
}

} // namespace

void unlinkIfOurs(int c) {
    struct stat now;
    if (lstat(df3Name[c], &now) != 0) {
        if (errno != ENOENT) reportUndeleted(df3Name[c], errno);
    } else if (now.st_dev == df3Dev[c] && now.st_ino == df3Ino[c] && unlink(df3Name[c]) != 0) {
        reportUndeleted(df3Name[c], errno);
    }
}

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
void holdSignals(sigset_t *before) {
    const sigset_t caught = caughtSignals();
    exitOnErrorNumber(pthread_sigmask(SIG_BLOCK, &caught, before));
}

void releaseSignals(const sigset_t &before) {
    exitOnErrorNumber(pthread_sigmask(SIG_SETMASK, &before, nullptr));
}

void cleanUp() {
    // While the register is taken apart, a signal must not read it half-done.
    sigset_t set = caughtSignals(), before;
    pthread_sigmask(SIG_BLOCK, &set, &before);
    for (int c = 0; c < 3; c++) {
        if (df3File[c] == nullptr) continue;
        // An output whose final close failed has no stream left to close.
        if (!df3Closed[c]) std::fclose(df3File[c]);
        unlinkIfOurs(c);
        df3File[c] = nullptr;
    }
    // The register is empty: a signal has nothing left to delete and may end the process now.
    pthread_sigmask(SIG_SETMASK, &before, nullptr);

    for (char *name : df3Name) std::free(name);
    for (std::uint64_t i = 0; i < ntodo; i++) std::free(todo[i]);
    std::free(todo);
}

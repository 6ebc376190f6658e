// An output goes on the register (its mark set) the moment it exists on disk and comes off it only
// when its final close has succeeded. Whatever ends the run in between, the output is deleted:
//  - a normal end (a refusal, errExit, a failed final close, a stop request) runs cleanUp through
//    atexit, which discards the outputs on the register;
//  - a fatal POSIX signal runs its handler (run/posix/signals.cpp), which deletes them by name and
//    then lets the signal end the process.
// Files that existed before the run never go on the register, so neither path can touch them. A
// name can be taken over meanwhile (another run, a rename), so each output's identity is recorded
// as it is created, and a name is deleted only while it still leads to that very file. An output
// that is there but cannot be deleted (a read-only file system, a directory made unwritable
// meanwhile) is named on standard error, so it is not left silently.
#include "run/outputs.h"
#include "run/errExit.h"
#include "run/messages.h"
#include "run/signals.h"
#include "system/volumeFile.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// An entry of the register. A signal handler reads it at any moment, so the mark and the names are
// lock-free atomics: a store is never seen half-done, and the compiler keeps the order in which
// the main flow writes them (the name and the identity before the mark).
struct OutputEntry {
    VolumeFile file; // the volume's handle and identity
    // The output exists, is not finished, and goes if the run ends now.
    std::atomic<bool> unfinished;
};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<char *>::is_always_lock_free,
              "a signal handler may only read lock-free atomics");

// One entry per channel r, g, b.
std::atomic<char *> df3Name[3]; // output names; set before the output exists
OutputEntry df3File[3];         // the register of unfinished outputs

} // namespace

bool openOutput(char *name, int c, std::uint64_t size) {
    // The name is complete before the output exists, so the signal handler can always use it.
    df3Name[c] = name;
    // Signals are held so that none falls between the file appearing and its mark on the register.
    holdSignals();
    const bool created = createVolume(df3Name[c], size, &df3File[c].file);
    // A file made before a failure is as unfinished as any: the exit clean-up discards it.
    if (df3File[c].file.handle != -1) df3File[c].unfinished = true;
    const int error = errno;
    releaseSignals();
    if (created) return true;
    errno = error;
    if (error != EEXIST) errExit();
    return false;
}

bool writeOutput(int c, const void *data, std::size_t size) {
    return writeVolume(df3File[c].file, data, size);
}

void finishOutputs() {
    int firstError = 0;
    holdSignals();
    for (OutputEntry &output : df3File) {
        if (closeVolume(&output.file)) output.unfinished = false;
        else if (firstError == 0) firstError = errno != 0 ? errno : EIO; // never taken for success
    }
    releaseSignals();
    if (firstError != 0) {
        errno = firstError;
        errExit();
    }
}

void discardOutputs() {
    // While the register is taken apart, a signal must not read it half-done.
    holdSignals();
    for (int c = 0; c < 3; c++) {
        if (!df3File[c].unfinished) continue;
        const int error = discardVolume(&df3File[c].file, df3Name[c]);
        if (error != 0) sayUndeleted(df3Name[c], error);
        df3File[c].unfinished = false;
    }
    // The register is empty: a signal has nothing left to delete and may end the process now.
    releaseSignals();
    for (std::atomic<char *> &name : df3Name) std::free(name.exchange(nullptr));
}

void discardOutputsInSignal() {
    for (int c = 0; c < 3; c++) {
        if (!df3File[c].unfinished) continue;
        const int error = deleteVolumeByName(df3Name[c], df3File[c].file.identity);
        if (error != 0) sayUndeleted(df3Name[c], error);
    }
}

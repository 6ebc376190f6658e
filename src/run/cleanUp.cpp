// The register of unfinished outputs and the two ways an unfinished output is deleted.
//
// An output goes on the register (df3File[c] set) the moment it exists on disk and comes off it only
// when its final close has succeeded. Whatever ends the run in between, the output is deleted:
//  - a normal end (a refusal, errExit, a failed final close, a stop request) runs cleanUp through
//    atexit;
//  - a fatal POSIX signal runs its handler (run/posix/signals.cpp), which unlinks and then lets the
//    signal end the process.
// Files that existed before the run never go on the register, so neither path can touch them. Both
// paths delete by name, and a name can be taken over meanwhile (another run, a rename): so each
// output's identity is recorded as it is created, and a name is deleted only while it still leads
// to that very file. On POSIX that is checked right before the delete, so only a rename in that
// very instant can still be hit; on Windows the check and the delete go through one handle. An
// output that is there but cannot be deleted (a read-only file system, a directory made unwritable
// meanwhile) is named on standard error, so it is not left silently.
#include "run/cleanUp.h"
#include "run/runState.h"
#include "run/signals.h"
#include "system/files.h"
#include "system/process.h"

#include <cstdlib>

namespace {

// "<prog>: cannot delete unfinished volume '<name>': <text>", in one write, so that it is safe
// inside a signal and no stream buffer holds it back: no stdio, no memory.
void reportUndeleted(const char *name, int error) {
    char spare[24];
    const char *text = errorTextInSignal(error, spare);
    char line[2048];
    std::size_t used = 0;
    for (const char *part : {prog, ": cannot delete unfinished volume '", name, "': ", text})
        for (; *part != '\0' && used < sizeof line - 1; part++) line[used++] = *part;
    line[used++] = '\n';
    writeStandardError(line, used);
}

} // namespace

void unlinkIfOurs(int c) {
    const int error = deleteIfOurs(df3Name[c], df3Id[c]);
    if (error != 0) reportUndeleted(df3Name[c], error);
}

void cleanUp() {
    // While the register is taken apart, a signal must not read it half-done.
    holdSignals();
    for (int c = 0; c < 3; c++) {
        if (df3File[c] == nullptr) continue;
        // An output whose final close failed has no stream left to close.
        if (!df3Closed[c]) std::fclose(df3File[c]);
        unlinkIfOurs(c);
        df3File[c] = nullptr;
    }
    // The register is empty: a signal has nothing left to delete and may end the process now.
    releaseSignals();

    for (char *name : df3Name) std::free(name);
    for (std::uint64_t i = 0; i < ntodo; i++) std::free(todo[i]);
    std::free(todo);
}

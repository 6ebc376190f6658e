// The entry: one argument, the basename; the slice list; then the conversion, whose answer is the
// exit status. Every message and status of the program is listed in the manual (docs/slicevol.1.in).
#include "conversion/mkDf3s.h"
#include "slices/mkTodos.h"
#include "run/cleanUp.h"
#include "run/errExit.h"
#include "run/messages.h"
#include "run/runState.h"
#include "run/signals.h"
#include "system/console.h"
#include "system/process.h"

#include <cerrno>
#include <cstdlib>

namespace {

const char *programWord(int argc, char **argv) {
    return (argc > 0 && argv[0] != nullptr && argv[0][0] != '\0') ? argv[0] : "slicevol";
}

} // namespace

int main(int argc, char **argv) {
    // With no program word at all (or an empty one) the messages still need a name. It is taken
    // again once the arguments are read as the user gave them (on Windows, in UTF-8).
    prog = programWord(argc, argv);
    if (!guardStandardStreams()) errExit();
    if (!takeArguments(&argc, &argv)) errExit();
    prog = programWord(argc, argv);
    if (argc != 2) {
        say(Stream::err, "usage: %s basename\n", prog);
        // Double-clicked, the program would vanish with its window before the line could be read.
        if (aloneInOwnConsole()) {
            say(Stream::err, "slicevol is a console program: run it in a console in the folder of your slices, "
                             "or drop a slice on slicevol-drop.cmd beside it. Press a key to close this window.\n");
            awaitKey();
        }
        return 1;
    }
    const char *base = argv[1];

    // atexit need not set errno; it fails only when it has no room for one more handler.
    errno = 0;
    if (std::atexit(cleanUp) != 0) errExitOr(ENOMEM);
    catchSignals();

    if (mkTodos(base) == 0) {
        say(Stream::err, "error no file matches '%s*.tga' (or too many).\n", base);
        return 1;
    }
    const int status = mkDf3s(base);
    // A stop asked for after the last volume was finished still ends the run as a stop.
    if (stopRequested()) endByStop();
    return status;
}

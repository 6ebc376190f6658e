// The entry: one argument, the basename; the slice list; then the conversion, whose answer is the
// exit status. Every message and status of the program is listed in the manual
// (docs/slicevol.1.in).
#include "conversion/mkDf3s.h"
#include "drop/dropRun.h"
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

// Alone in a console window of its own (started from Explorer: a double click, a drop, Send to),
// the program would vanish with its window the moment it ends: it keeps the window, whatever the
// outcome, until a key is pressed. Registered first, so that it runs after the exit clean-up.
void keepWindow() {
    say(Stream::err, "Press a key to close this window.\n");
    awaitKey();
}

} // namespace

int main(int argc, char **argv) {
    // With no program word at all (or an empty one) the messages still need a name. It is taken
    // again once the arguments are read as the user gave them (on Windows, in UTF-8).
    prog = programWord(argc, argv);
    if (!guardStandardStreams()) errExit();
    if (!takeArguments(&argc, &argv)) errExit();
    prog = programWord(argc, argv);
    const bool ownWindow = aloneInOwnConsole();
    // atexit need not set errno; it fails only when it has no room for one more handler.
    errno = 0;
    if (ownWindow && std::atexit(keepWindow) != 0) errExitOr(ENOMEM);
    if (argc != 2) {
        say(Stream::err, "usage: %s basename\n", prog);
        if (ownWindow)
            say(Stream::err,
                "slicevol is a console program: run it in a console in the folder of your slices, "
                "or drop a slice on slicevol.exe.\n");
        return 1;
    }
    const char *base = argv[1];
    // A drop on the program gives a slice's whole path, never a basename. The run happens in a
    // process of its own; Ctrl-C stops that one, and this one says so.
    if (ownWindow && isDroppedPath(base)) {
        catchSignals();
        return dropRun(base);
    }

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

// The entry: one argument, the basename; the slice list; then the conversion, whose answer is the
// exit status. Every message and status of the program is listed in README.md.
#include "conversion/mkDf3s.h"
#include "slices/mkTodos.h"
#include "run/cleanUp.h"
#include "run/errExit.h"
#include "run/runState.h"
#include "run/standardStreams.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    // With no program word at all (or an empty one) the messages still need a name.
    prog = (argc > 0 && argv[0] != nullptr && argv[0][0] != '\0') ? argv[0] : "slicevol";
    guardStandardStreams();
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s basename\n", prog);
        return 1;
    }
    const char *base = argv[1];

    // atexit need not set errno; it fails only when it has no room for one more handler.
    errno = 0;
    if (std::atexit(cleanUp) != 0) errExitOr(ENOMEM);
    catchSignals();

    if (mkTodos(base) == 0) {
        std::fprintf(stderr, "error no file matches '%s*.tga' (or too many).\n", base);
        return 1;
    }
    return mkDf3s(base);
}

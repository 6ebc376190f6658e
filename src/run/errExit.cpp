#include "run/errExit.h"
#include "run/runState.h"
#include "system/process.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

void exitOnErrorNumber(int error) {
    if (error == 0) return;
    errno = error;
    errExit();
}

void errExitOr(int fallback) {
    if (errno == 0) errno = fallback;
    errExit();
}

void errExit() {
    std::fprintf(stderr, "%s: error %s\n", prog, errorText(errno));
    std::exit(1);
}

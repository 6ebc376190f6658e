#include "run/runState.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

void exitOnErrorNumber(int error) {
    if (error == 0) return;
    errno = error;
    errExit();
}

void errExit() {
    std::fprintf(stderr, "%s: error %s\n", prog, std::strerror(errno));
    std::exit(1);
}

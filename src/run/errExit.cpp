#include "run/errExit.h"
#include "run/messages.h"
#include "run/runState.h"
#include "system/errors.h"

#include <cerrno>
#include <cstdlib>

void errExitOn(int error) {
    if (error == 0) return;
    errno = error;
    errExit();
}

void errExitOr(int fallback) {
    if (errno == 0) errno = fallback;
    errExit();
}

void errExit() {
    say(Stream::err, "%s: error %s\n", prog, errorText(errno));
    std::exit(1);
}

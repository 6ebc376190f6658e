// Started with a standard descriptor closed, the process would hand that number to the next file it
// opens: the red volume would become "standard output" and take in the progress lines. Each closed
// one is therefore filled with /dev/null before anything else is opened.
//
// Standard output is line-buffered even into a pipe or a file: each progress line leaves when its
// slice starts, so a log shows which slice an error belongs to, and a reader that has gone is
// noticed at once (SIGPIPE, unfinished volumes deleted), not when a buffer happens to fill.
#include "run/standardStreams.h"
#include "run/errExit.h"
#include "run/runState.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

void guardStandardStreams() {
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        if (errno != EBADF) errExit();
        // The lowest free number is taken, and every lower one is open by now: this is fd.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened == -1) errExit();
        if (opened != fd) {
            errno = EBADF;
            errExit();
        }
    }
    if (!setBuffering(stdout, _IOLBF)) errExit();
}

bool setBuffering(FILE *stream, int mode) {
    errno = 0;
    if (std::setvbuf(stream, nullptr, mode, 0) == 0) return true;
    if (errno == 0) errno = EINVAL;
    return false;
}

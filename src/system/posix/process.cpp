// Started with a standard descriptor closed, the process would hand that number to the next file it
// opens: the red volume would become "standard output" and take in the progress lines. Each closed
// one is therefore filled with /dev/null before anything else is opened.
#include "system/process.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool takeArguments(int *, char ***) { return true; }

bool guardStandardStreams() {
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        if (errno != EBADF) return false;
        // The lowest free number is taken, and every lower one is open by now: this is fd.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened == -1) return false;
        if (opened != fd) {
            errno = EBADF;
            return false;
        }
    }
    return true;
}

bool runAgain(const char *, int *) {
    errno = ENOSYS;
    return false;
}

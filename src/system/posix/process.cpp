// Started with a standard descriptor closed, the process would hand that number to the next file it
// opens: the red volume would become "standard output" and take in the progress lines. Each closed
// one is therefore filled with /dev/null before anything else is opened.
#include "system/process.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
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

const char *errorText(int error) { return std::strerror(error); }

// strerror may translate its text and take a lock, which is not safe inside a signal. glibc's
// untranslated table is a bounds-checked lookup in constant data, and the run never sets a
// locale, so there it gives the text errorText gives; elsewhere the line names the number.
const char *errorTextInSignal(int error, char (&spare)[24]) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    (void)spare;
    const char *text = strerrordesc_np(error);
    return text != nullptr ? text : "Unknown error";
#else
    char digits[12];
    int n = 0;
    for (unsigned v = static_cast<unsigned>(error); n == 0 || v != 0; v /= 10) digits[n++] = char('0' + v % 10);
    std::size_t at = 0;
    for (const char *p = "error "; *p != '\0'; p++) spare[at++] = *p;
    while (n > 0) spare[at++] = digits[--n];
    spare[at] = '\0';
    return spare;
#endif
}

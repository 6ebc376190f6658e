// Error texts on POSIX: strerror's, and in a signal handler a lookup that takes no lock.
#include "system/errors.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

const char *errorText(int error) { return std::strerror(error); }

// strerror may translate its text and take a lock, which is not safe inside a signal. glibc's
// untranslated table (from 2.32 on) is a bounds-checked lookup in constant data, and the run never
// sets a locale, so there it gives the text errorText gives. Elsewhere (glibc 2.31 of Debian 11
// among them) the texts are taken from strerror once, as the program starts, before any handler
// can run; a number without a text of its own is named as a number.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
const char *errorTextInSignal(int error, char (&)[24]) {
    const char *text = strerrordesc_np(error);
    return text != nullptr ? text : "Unknown error";
}
#else
namespace {

struct ErrorTexts {
    const char *text[256] = {};
    ErrorTexts() {
        // An unknown number's text is made in a buffer that the next call reuses: not kept.
        for (int error = 0; error < 256; error++)
            if (const char *t = std::strerror(error); std::strncmp(t, "Unknown error", 13) != 0)
                text[error] = t;
    }
};
const ErrorTexts errorTexts;

} // namespace

const char *errorTextInSignal(int error, char (&spare)[24]) {
    if (error >= 0 && error < 256 && errorTexts.text[error] != nullptr)
        return errorTexts.text[error];
    char digits[12];
    int n = 0;
    for (unsigned v = static_cast<unsigned>(error); n == 0 || v != 0; v /= 10)
        digits[n++] = char('0' + v % 10);
    std::size_t at = 0;
    for (const char *p = "error "; *p != '\0'; p++) spare[at++] = *p;
    while (n > 0) spare[at++] = digits[--n];
    spare[at] = '\0';
    return spare;
}
#endif

// A POSIX failure is its error number alone.
SystemError lastError() { return {errno, 0}; }
void restoreError(const SystemError &error) { errno = error.number; }

#include "system/buffering.h"

#include <cerrno>

bool setBuffering(FILE *stream, int mode) {
    errno = 0;
    if (std::setvbuf(stream, nullptr, mode, 0) == 0) return true;
    if (errno == 0) errno = EINVAL;
    return false;
}

#include "volume/checkedIo.h"

#include <cerrno>

namespace {

// Some systems (a few BSDs) have no ENODATA; EIO is the nearest fixed meaning there.
#ifdef ENODATA
constexpr int noData = ENODATA;
#else
constexpr int noData = EIO;
#endif

// True when all count items moved; otherwise gives a short transfer an error number.
bool allMoved(std::size_t done, std::size_t count) {
    if (done == count) return true;
    if (errno == 0) errno = noData;
    return false;
}

} // namespace

bool readAll(void *buf, std::size_t size, std::size_t count, FILE *in) {
    errno = 0;
    return allMoved(std::fread(buf, size, count, in), count);
}

bool writeAll(const void *buf, std::size_t size, std::size_t count, FILE *out) {
    errno = 0;
    return allMoved(std::fwrite(buf, size, count, out), count);
}

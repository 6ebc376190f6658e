#include "volume/checkedIo.h"
#include "run/runState.h"

#include <cerrno>

namespace {

// Some systems (a few BSDs) have no ENODATA; EIO is the nearest fixed meaning there.
#ifdef ENODATA
constexpr int noData = ENODATA;
#else
constexpr int noData = EIO;
#endif

bool moved(std::size_t done, std::size_t count) {
    if (done == count) return true;
    if (errno == 0) errno = noData;
    return false;
}

} // namespace

bool readAll(void *buf, std::size_t size, std::size_t count, FILE *in) {
    errno = 0;
    return moved(std::fread(buf, size, count, in), count);
}

bool writeAll(const void *buf, std::size_t size, std::size_t count, FILE *out) {
    errno = 0;
    return moved(std::fwrite(buf, size, count, out), count);
}

void readExactly(void *buf, std::size_t size, std::size_t count, FILE *in) {
    if (!readAll(buf, size, count, in)) errExit();
}

void writeExactly(const void *buf, std::size_t size, std::size_t count, FILE *out) {
    if (!writeAll(buf, size, count, out)) errExit();
}

#include "volume/checkedIo.h"
#include "system/files.h"

#include <cerrno>

namespace {

// True when all count items moved; otherwise gives a short transfer an error number.
bool allMoved(std::size_t done, std::size_t count) {
    if (done == count) return true;
    if (errno == 0) errno = noDataError;
    return false;
}

} // namespace

bool writeAll(const void *buf, std::size_t size, std::size_t count, FILE *out) {
    errno = 0;
    return allMoved(std::fwrite(buf, size, count, out), count);
}


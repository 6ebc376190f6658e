#include "volume/checkedIo.h"

#include <cerrno>
#include <unistd.h>

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

bool writeAll(const void *buf, std::size_t size, std::size_t count, FILE *out) {
    errno = 0;
    return allMoved(std::fwrite(buf, size, count, out), count);
}

std::size_t readAt(int fd, void *buf, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        errno = 0;
        const ssize_t got = pread(fd, static_cast<unsigned char *>(buf) + done, size - done,
                                  static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            allMoved(done, size);
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

#include "system/posix/writeAll.h"
#include "system/errors.h"

#include <cerrno>
#include <cstddef>
#include <unistd.h>

bool writeAll(int fd, const void *data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        errno = 0;
        const ssize_t wrote =
            write(fd, static_cast<const unsigned char *>(data) + done, size - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (errno == 0) errno = noDataError;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

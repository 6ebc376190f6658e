#include "system/sliceFile.h"
#include "system/errors.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openSlice(const char *name) {
    // O_NONBLOCK: a FIFO with no writer would otherwise hang the run at its open, with part-written
    // volumes on disk, until someone killed it; its position cannot be asked for, so it fails at
    // once. Regular files are unaffected.
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd == -1) return -1;
    if (lseek(fd, 0, SEEK_CUR) == -1) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

std::size_t readSliceAt(int fd, void *buf, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        errno = 0;
        const ssize_t got = pread(fd, static_cast<unsigned char *>(buf) + done, size - done,
                                  static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (errno == 0) errno = noDataError; // the file ended: pread sets no error number then
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void closeSlice(int fd) { close(fd); }

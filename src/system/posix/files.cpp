#include "system/files.h"
#include "system/buffering.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openForReading(const char *name) {
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

std::size_t readAt(int fd, void *buf, std::size_t size, std::uint64_t offset) {
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

void closeForReading(int fd) { close(fd); }

FILE *createExclusive(const char *name, std::uint64_t size, FileIdentity *identity) {
    // O_EXCL makes the test and the create one step, so an existing file is never truncated.
    const int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd == -1) return nullptr;
    // The identity comes from the open file itself, before anything can rename another file over
    // its name.
    struct stat created;
    if (fstat(fd, &created) != 0) {
        const int error = errno;
        unlink(name); // made by us a moment ago; with no identity this is the best we know
        close(fd);
        errno = error;
        return nullptr;
    }
    *identity = {static_cast<std::uint64_t>(created.st_dev), static_cast<std::uint64_t>(created.st_ino)};
#ifdef FALLOC_FL_KEEP_SIZE
    // The volume's blocks are reserved up front where the file system can, so it need not find
    // room for them write by write. The length stays 0 until written, and the answer is not looked
    // at: a file system that cannot do this just goes on as without.
    (void)fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
#else
    (void)size;
#endif
    FILE *out = fdopen(fd, "wb");
    if (out == nullptr || !setBuffering(out, _IONBF)) {
        const int error = errno;
        deleteIfOurs(name, *identity);
        if (out != nullptr) std::fclose(out);
        else close(fd);
        errno = error;
        return nullptr;
    }
    return out;
}

int deleteIfOurs(const char *name, const FileIdentity &identity) {
    // Only lstat and unlink, which are async-signal-safe.
    struct stat now;
    if (lstat(name, &now) != 0) return errno == ENOENT ? 0 : errno;
    if (static_cast<std::uint64_t>(now.st_dev) != identity.volume ||
        static_cast<std::uint64_t>(now.st_ino) != identity.index)
        return 0;
    return unlink(name) == 0 ? 0 : errno;
}

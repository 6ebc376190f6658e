// Volumes on POSIX: a descriptor each, written with write(2) straight from the conversion's blocks.
#include "system/volumeFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The volume's blocks are reserved up front where the file system can, so it need not find room
// for them write by write. The length stays 0 until written, and the answer is not looked at: a
// file system that cannot do this just goes on as without.
void reserve(int fd, std::uint64_t size) {
#ifdef FALLOC_FL_KEEP_SIZE
    (void)fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
#else
    (void)fd;
    (void)size;
#endif
}

} // namespace

bool createVolume(const char *name, std::uint64_t size, VolumeFile *volume) {
    // O_EXCL makes the test and the create one step, so an existing file is never truncated.
    const int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd == -1) return false;
    // The identity comes from the open file itself, before anything can rename another file over
    // its name.
    struct stat created;
    if (fstat(fd, &created) != 0) {
        const int error = errno;
        unlink(name); // made by us a moment ago; with no identity this is the best we know
        close(fd);
        errno = error;
        return false;
    }
    volume->identity = {static_cast<std::uint64_t>(created.st_dev), static_cast<std::uint64_t>(created.st_ino)};
    volume->handle = fd;
    reserve(fd, size);
    return true;
}

bool writeVolume(const VolumeFile &volume, const void *data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        errno = 0;
        const ssize_t wrote = write(static_cast<int>(volume.handle), static_cast<const unsigned char *>(data) + done,
                                    size - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (errno == 0) errno = noDataError;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

bool closeVolume(VolumeFile *volume) {
    // Linux releases the descriptor even when close reports a failure: it is never closed twice.
    const int closed = close(static_cast<int>(volume->handle));
    volume->handle = -1;
    return closed == 0;
}

int discardVolume(VolumeFile *volume, const char *name) {
    if (volume->handle != -1) {
        close(static_cast<int>(volume->handle));
        volume->handle = -1;
    }
    return deleteVolumeByName(name, volume->identity);
}

int deleteVolumeByName(const char *name, const FileIdentity &identity) {
    // Only lstat and unlink, which are async-signal-safe.
    struct stat now;
    if (lstat(name, &now) != 0) return errno == ENOENT ? 0 : errno;
    if (static_cast<std::uint64_t>(now.st_dev) != identity.volume ||
        static_cast<std::uint64_t>(now.st_ino) != identity.index)
        return 0;
    return unlink(name) == 0 ? 0 : errno;
}

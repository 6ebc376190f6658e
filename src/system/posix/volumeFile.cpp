// Volumes on POSIX: a descriptor each, written with write(2) straight from the conversion's blocks.
#include "system/volumeFile.h"
#include "system/posix/writeAll.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif
#include <unistd.h>

namespace {

// A volume's blocks are reserved as it is created, so that the file system need not find room for
// them write by write; the length stays 0 until written. Only where that was measured to gain
// (bench/README.md): ext4 (ext2 and ext3 share its number) and xfs. Not on btrfs, which writes into
// reserved extents uncompressed (a compressible volume takes 30 times the room) and gains nothing,
// nor on tmpfs, where it only costs time; nowhere else unmeasured. A reservation that fails (a disk
// fuller than the estimate thought, a quota, another writer) is given back at once: ext4 keeps
// what it got, up to the whole disk, until the file is truncated. The run then goes on exactly as
// without one. False with errno set when the file system cannot be asked or the room not given
// back.
bool reserve(int fd, std::uint64_t size) {
#if defined(__linux__) && defined(FALLOC_FL_KEEP_SIZE)
    constexpr unsigned long ext4Magic = 0xEF53, xfsMagic = 0x58465342;
    struct statfs fs;
    if (fstatfs(fd, &fs) != 0) return false;
    const auto type = static_cast<unsigned long>(fs.f_type);
    if (type != ext4Magic && type != xfsMagic) return true;
    if (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) return true;
    return ftruncate(fd, 0) == 0;
#else
    (void)fd;
    (void)size;
    return true;
#endif
}

} // namespace

bool createVolume(const char *name, std::uint64_t size, VolumeFile *volume) {
    // O_EXCL makes the test and the create one step, so an existing file is never truncated.
    const int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd == -1) return false;
    volume->handle = fd;
    // The identity comes from the open file itself, before anything can rename another file over
    // its name; should the file not answer, the name made a moment ago is the best we know.
    struct stat created;
    const bool known = fstat(fd, &created) == 0;
    const int error = errno;
    if (!known && lstat(name, &created) != 0) {
        close(fd);
        volume->handle = -1;
        errno = error;
        return false;
    }
    volume->identity = {static_cast<std::uint64_t>(created.st_dev),
                        static_cast<std::uint64_t>(created.st_ino)};
    if (!known) {
        errno = error;
        return false;
    }
    return reserve(fd, size);
}

bool writeVolume(const VolumeFile &volume, const void *data, std::size_t size) {
    return writeAll(static_cast<int>(volume.handle), data, size);
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

#include "system/space.h"

#include <sys/statvfs.h>

bool workingDirectorySpace(std::uint64_t *blockSize, std::uint64_t *available) {
    struct statvfs fs;
    if (statvfs(".", &fs) == -1) return false;
    // f_bavail counts fragments (f_frsize), not blocks (f_bsize): where the two differ (ZFS reports
    // its record size as f_bsize, as do FUSE and network file systems their transfer size), the
    // block size would misjudge the room by their ratio. A fragment size of 0 falls back on it.
    *blockSize = fs.f_frsize != 0 ? fs.f_frsize : fs.f_bsize;
    *available = fs.f_bavail;
    return true;
}

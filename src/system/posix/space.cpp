#include "system/space.h"

#include <sys/statvfs.h>

bool workingDirectorySpace(std::uint64_t *blockSize, std::uint64_t *available) {
    struct statvfs fs;
    if (statvfs(".", &fs) == -1) return false;
    // Some file systems report no block size; the fragment size is the next best unit.
    *blockSize = fs.f_bsize != 0 ? fs.f_bsize : fs.f_frsize;
    *available = fs.f_bavail;
    return true;
}

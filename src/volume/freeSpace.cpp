// An estimate, not a reservation: one volume's voxels plus 8192 bytes, in whole blocks rounded
// down, times three; the available count must be strictly larger. Space can still run out during
// the conversion (the failing write then ends the run), and a run that would just fit is refused.
#include "volume/freeSpace.h"
#include "run/runState.h"

#include <sys/statvfs.h>

bool spaceSuffices(std::uint64_t width, std::uint64_t height, std::uint64_t count,
                   std::uint64_t blockSize, std::uint64_t available) {
    if (available == 0 || blockSize == 0) return false;
    // 4096 x 4096 x 65535 is about 2^40: the product fits 64 bits with room to spare.
    const std::uint64_t needed = ((width * height * count + 8192) / blockSize) * 3;
    return available > needed;
}

bool enoughSpace(std::uint64_t width, std::uint64_t height, std::uint64_t count) {
    struct statvfs fs;
    if (statvfs(".", &fs) == -1) errExit();
    // Some file systems report no block size; the fragment size is the next best unit.
    const std::uint64_t blockSize = fs.f_bsize != 0 ? fs.f_bsize : fs.f_frsize;
    return spaceSuffices(width, height, count, blockSize, fs.f_bavail);
}

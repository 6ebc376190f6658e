// An estimate, not a reservation: one volume's voxels plus 8192 bytes, in whole blocks rounded
// down, times three; the available count must be strictly larger. Space can still run out during
// the conversion (the failing write then ends the run), and a run that would just fit is refused.
#include "conversion/freeSpace.h"
#include "run/errExit.h"
#include "system/space.h"

bool spaceSuffices(std::uint64_t xSize, std::uint64_t ySize, std::uint64_t zSize,
                   std::uint64_t blockSize, std::uint64_t available) {
    if (available == 0 || blockSize == 0) return false;
    // 4096 x 4096 x 65535 is about 2^40: the product fits 64 bits with room to spare.
    const std::uint64_t needed = ((xSize * ySize * zSize + 8192) / blockSize) * 3;
    return available > needed;
}

bool enoughSpace(std::uint64_t xSize, std::uint64_t ySize, std::uint64_t zSize) {
    std::uint64_t blockSize, available;
    if (!workingDirectorySpace(&blockSize, &available)) errExit();
    return spaceSuffices(xSize, ySize, zSize, blockSize, available);
}

// The working directory's volume: the bytes available to this user (quotas included), counted in
// the volume's clusters, its unit of allocation.
#include "system/space.h"
#include "system/windows/win32.h"

bool workingDirectorySpace(std::uint64_t *blockSize, std::uint64_t *available) {
    ULARGE_INTEGER toCaller, total, free;
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceExW(nullptr, &toCaller, &total, &free) ||
        !GetDiskFreeSpaceW(nullptr, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
        setErrnoFromWin32();
        return false;
    }
    *blockSize = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector;
    *available = *blockSize != 0 ? toCaller.QuadPart / *blockSize : 0;
    return true;
}

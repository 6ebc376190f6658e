// The working directory's volume: the bytes available to this user there (quotas included),
// counted in the volume's clusters, its unit of allocation. The bytes are asked for the working
// directory itself, which need not be on its drive's volume (a volume mounted in a folder, a
// junction); the cluster size only of a volume's root, the volume the directory is on.
#include "system/space.h"
#include "system/windows/win32.h"

bool workingDirectorySpace(std::uint64_t *blockSize, std::uint64_t *available) {
    wchar_t root[MAX_PATH + 1];
    ULARGE_INTEGER toCaller, total, free;
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceExW(L".", &toCaller, &total, &free) ||
        !GetVolumePathNameW(L".", root, MAX_PATH + 1) ||
        !GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
        setErrnoFromWin32();
        return false;
    }
    *blockSize = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector;
    *available = *blockSize != 0 ? toCaller.QuadPart / *blockSize : 0;
    return true;
}

// The free space of the working directory's file system. One interface, one implementation per
// system (posix/, windows/).
#pragma once

#include <cstdint>

// The file system's block size in bytes and the number of blocks available to this process (not
// those only a privileged user may take). False with errno set when it cannot be asked.
bool workingDirectorySpace(std::uint64_t *blockSize, std::uint64_t *available);

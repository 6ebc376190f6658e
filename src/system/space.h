// The free space of the working directory's file system. One interface, one implementation per
// system (posix/, windows/).
#pragma once

#include <cstdint>

// The file system's unit of free space in bytes (the fragment, or cluster, size) and the number of
// those units available to this process (not those only a privileged user may take). False with
// errno set when it cannot be asked.
bool workingDirectorySpace(std::uint64_t *blockSize, std::uint64_t *available);

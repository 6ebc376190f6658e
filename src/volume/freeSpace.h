// The free-space estimate made before any output exists.
#pragma once

#include <cstdint>

// The pure estimate: three volumes of width x height x count voxels fit in `available` blocks of
// `blockSize` bytes. A block size of 0 answers false.
bool spaceSuffices(std::uint64_t width, std::uint64_t height, std::uint64_t count,
                   std::uint64_t blockSize, std::uint64_t available);

// Asks the file system of the working directory and applies the estimate; errExit if it can't ask.
bool enoughSpace(std::uint64_t width, std::uint64_t height, std::uint64_t count);

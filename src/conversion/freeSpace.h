// The free-space estimate made before any output exists.
#pragma once

#include <cstdint>

// The pure estimate: three volumes of xSize x ySize x zSize voxels fit in `available` blocks of
// `blockSize` bytes. A block size of 0 answers false.
bool spaceSuffices(std::uint64_t xSize, std::uint64_t ySize, std::uint64_t zSize,
                   std::uint64_t blockSize, std::uint64_t available);

// Asks the file system of the working directory and applies the estimate; errExit if it can't ask.
bool enoughSpace(std::uint64_t xSize, std::uint64_t ySize, std::uint64_t zSize);

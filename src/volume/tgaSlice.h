// TGA slice input: the only code that knows the slice format.
#pragma once

#include <cstdint>
#include <cstddef>

// Where a slice's pixels start: the header before them is read with the first block.
constexpr std::size_t pixelOffset = 18;

// Reads width and height from the first slice; false when either is outside 1 to 4096.
bool readSize();

// Opens a slice for reading at explicit offsets: a descriptor, or -1 with errno set on failure (a
// FIFO fails here, at once). The conversion decides when to end the run, since a helper thread
// may still be at work. Main thread only; closeSlice closes it.
int openSlice(const char *name);
void closeSlice(int slice);

// Reads pixels first to first + n - 1 of an open slice into `pixels`, 3 bytes each, in one stream
// of reads at their offsets. The first block (first == 0) comes in one read from byte 0 that takes
// the header too, into the pixelOffset bytes before `pixels`, which must be there; `headerWhole`
// then tells whether the whole header was. False, with errno set, when fewer pixels are there.
bool readPixels(int slice, std::uint64_t first, std::size_t n, unsigned char *pixels, bool *headerWhole);

// Warns on standard error, for the first few slices it meets so, when the slice's header (its
// first pixelOffset bytes) says it is not an uncompressed 24-bit TGA of the first slice's size.
// Main thread only, right before the slice's progress line, so that warnings keep the order of
// the progress lines.
void checkHeader(const char *name, const unsigned char *header);

// Says how many slices beyond those named in a warning were not what they are read as, if any.
void reportUnnamedWarnings();

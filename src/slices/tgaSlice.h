// TGA slice input: the only code that knows the slice format.
#pragma once

#include <cstdint>
#include <cstddef>

// Where a slice's pixels start: the header before them is read with the first block.
constexpr std::size_t pixelOffset = 18;

// Reads width and height from the first slice; false when either is outside 1 to 4096.
bool readSize();

// The pixels of a slice are read in blocks, 3 bytes a pixel, each at its offset: the first block
// with readFirstBlock, any other with readBlock. The slice itself is opened and closed by the
// conversion (openSlice, closeSlice in system/sliceFile.h) on the main thread, which alone decides
// when the run ends while the helper thread may still be at work.

// What a block's read answers: whether all its pixels were there (`whole`; errno is set when not),
// and for a slice's first block its header, when that was there whole (null otherwise).
struct BlockRead {
    bool whole;
    const unsigned char *header;
};

// The first n pixels, in one read from byte 0 that takes the header too, into the pixelOffset
// bytes before `pixels`, which must be there.
BlockRead readFirstBlock(int slice, std::size_t n, unsigned char *pixels);

// Pixels first to first + n - 1 of any other block (first > 0). False, with errno set, when fewer
// pixels are there.
bool readBlock(int slice, std::uint64_t first, std::size_t n, unsigned char *pixels);

// Warns on standard error, for the first few slices it meets so, when the slice's header (its
// first pixelOffset bytes) says it is not an uncompressed 24-bit TGA of the first slice's size.
// Main thread only, right before the slice's progress line, so that warnings keep the order of
// the progress lines.
void checkHeader(const char *name, const unsigned char *header);

// Says how many slices beyond those named in a warning were not what they are read as, if any.
void reportUnnamedWarnings();

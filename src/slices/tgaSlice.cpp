// The slice flavour read here: an uncompressed 24-bit true-colour TGA with no image ID and no
// colour map, so the pixel data starts at byte 18. The first slice's size is the size of every
// slice. Every slice is read that way whatever its header says, but a header that says otherwise
// gets a warning, so a garbage volume does not come with silence.
//
//   offset  size  field
//        0     1  image ID length (0)
//        1     1  colour-map type (0)
//        2     1  image type (2: uncompressed true colour)
//        3     9  colour-map layout, x and y origin (unused)
//       12     2  width in pixels, little-endian
//       14     2  height in pixels, little-endian
//       16     1  pixel depth (24)
//       17     1  image descriptor (origin bits not looked at: rows stay in stored order)
//       18  w*h*3 pixels, 3 bytes each: blue, green, red
#include "slices/tgaSlice.h"
#include "run/errExit.h"
#include "run/messages.h"
#include "run/runState.h"
#include "system/sliceFile.h"

#include <cstdio>

namespace {

// Where the header holds the slice's width and height, each little-endian 16-bit.
constexpr std::size_t widthAt = 12, heightAt = 14;
constexpr std::uint64_t maxSide = 4096; // the largest slice side accepted

// Slices named in a warning of their own; the others are only counted, so that a stack of
// thousands of such slices does not bury the output.
constexpr std::uint64_t namedWarnings = 3;
std::uint64_t warnedSlices;

unsigned littleEndian16(const unsigned char *field) { return field[0] + 256u * field[1]; }

const char *imageTypeName(unsigned type) {
    switch (type) {
    case 0: return "no image data";
    case 1: return "colour-mapped";
    case 3: return "greyscale";
    case 9: return "run-length encoded, colour-mapped";
    case 10: return "run-length encoded true colour";
    case 11: return "run-length encoded greyscale";
    default: return "unknown";
    }
}

// Appends to `found` what in a slice's header differs from the flavour every slice is read as,
// one item after another; leaves it empty if nothing does. Plain snprintf, no C++ runtime.
void describeDeviations(const unsigned char *header, char *found, std::size_t size) {
    std::size_t used = 0;
    const auto add = [&](const char *format, auto... values) {
        if (used > 0 && used < size) used += std::snprintf(found + used, size - used, ", ");
        if (used < size) used += std::snprintf(found + used, size - used, format, values...);
    };
    found[0] = '\0';
    if (header[0] != 0) add("an image ID of %u bytes", header[0]);
    if (header[1] != 0) add("colour-map type %u", header[1]);
    if (header[2] != 2) add("image type %u (%s)", header[2], imageTypeName(header[2]));
    if (header[16] != 24) add("%u bits per pixel", header[16]);
    const unsigned long long w = littleEndian16(header + widthAt),
                             h = littleEndian16(header + heightAt);
    if (w != width || h != height)
        add("size %llu x %llu, not %llu x %llu", w, h, static_cast<unsigned long long>(width),
            static_cast<unsigned long long>(height));
}

} // namespace

void checkHeader(const char *name, const unsigned char *header) {
    char found[256];
    describeDeviations(header, found, sizeof found);
    if (found[0] == '\0' || ++warnedSlices > namedWarnings) return;
    say(Stream::err,
        "%s: warning '%s' has %s; read as %llu x %llu uncompressed 24-bit pixels from byte 18 "
        "all the same\n",
        prog, name, found, static_cast<unsigned long long>(width),
        static_cast<unsigned long long>(height));
}

namespace {

// Reads the little-endian 16-bit field at `offset` as a slice side into `side`, if it is from 1 to
// maxSide; false, leaving `side` as it was, if not. errExit if the field cannot be read.
bool readSide(int in, std::uint64_t offset, std::uint64_t &side) {
    unsigned char field[2];
    if (readSliceAt(in, field, sizeof field, offset) != sizeof field) errExit();
    const std::uint64_t value = littleEndian16(field);
    if (value < 1 || value > maxSide) return false;
    side = value;
    return true;
}

} // namespace

bool readSize() {
    const int in = openSlice(todo[0]);
    if (in == -1) errExit();
    const bool accepted = readSide(in, widthAt, width) && readSide(in, heightAt, height);
    closeSlice(in);
    return accepted;
}

BlockRead readFirstBlock(int slice, std::size_t n, unsigned char *pixels) {
    const std::size_t got = readSliceAt(slice, pixels - pixelOffset, pixelOffset + 3 * n, 0);
    return {got == pixelOffset + 3 * n, got >= pixelOffset ? pixels - pixelOffset : nullptr};
}

bool readBlock(int slice, std::uint64_t first, std::size_t n, unsigned char *pixels) {
    return readSliceAt(slice, pixels, 3 * n, pixelOffset + 3 * first) == 3 * n;
}

void reportUnnamedWarnings() {
    if (warnedSlices <= namedWarnings) return;
    const std::uint64_t more = warnedSlices - namedWarnings;
    say(Stream::err, "%s: warning %llu more %s; read the same way\n", prog,
        static_cast<unsigned long long>(more),
        more == 1 ? "slice has a header that says otherwise"
                  : "slices have headers that say otherwise");
}

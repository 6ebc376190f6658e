// Slices written by independent image tools: ImageMagick and netpbm make uncompressed 24-bit TGA
// files from known pixels, and the volumes must hold exactly those pixels.
#include "harness.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <utility>

namespace {

// A binary PPM (RGB, top row first) of the given pixels, given here in TGA order (blue, green,
// red).
std::string ppm(unsigned width, unsigned height, const std::string &bgr) {
    std::string rgb = bgr;
    for (std::size_t p = 0; p + 2 < rgb.size(); p += 3) std::swap(rgb[p], rgb[p + 2]);
    return "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" + rgb;
}

// The pixels with their rows in the opposite order.
std::string rowsReversed(unsigned width, unsigned height, const std::string &pixels) {
    std::string reversed;
    for (unsigned row = height; row-- > 0;)
        reversed += pixels.substr(std::size_t{row} * width * 3, width * 3);
    return reversed;
}

// Three slices of an odd width (no row padding may creep in) made by one tool from known pixels.
// slicevol keeps the stored row order, so the volume's rows are the picture's rows in the order
// the tool stores them. The origin bit (bit 5 of byte 17) is what the tool writes, which slicevol
// does not read but the manual tells users.
void checkWriter(const char *tool, const char *package, const std::string &command,
                 bool bottomRowFirst, int originBit) {
    if (std::string(tool).empty())
        GTEST_SKIP() << "skipped: " << package << " is not installed (Debian: apt-get install "
                     << package << ")";
    const unsigned w = 7, h = 3;
    ScratchDir dir;
    Stack stack;
    for (unsigned z = 0; z < 3; z++) {
        const std::string pixels = randomPixels(w, h, 40 + z);
        writeFile(dir.path / "in.ppm", ppm(w, h, pixels));
        const std::string name = sliceName("x", z);
        ASSERT_EQ(shellIn(dir.path, command + name + " && rm in.ppm"), 0) << command << name;
        const std::string slice = readFile(dir.path / name);
        ASSERT_EQ(slice[0], 0) << "the slice has an image ID";
        EXPECT_EQ(slice[17] & 0x20, originBit) << "origin bit";
        stack.names.push_back(name);
        stack.pixels.push_back(bottomRowFirst ? rowsReversed(w, h, pixels) : pixels);
    }
    expectConverted(dir.path, "x", w, h, stack, runSlicevol(dir.path, {"x"}));
}

// ImageMagick stores the top row first; version 6 (Debian 11 and 12) with an origin bit that says
// bottom row first, version 7 (Debian 13) with one that says top row first.
TEST(CrossWriters, ImageMagickSlices) {
    if (std::string(IMAGEMAGICK_CONVERT) != "" && IMAGEMAGICK_MAJOR != 6 && IMAGEMAGICK_MAJOR != 7)
        FAIL() << IMAGEMAGICK_CONVERT << " is ImageMagick " << IMAGEMAGICK_MAJOR
               << ": its origin bit is not known here";
    checkWriter(IMAGEMAGICK_CONVERT, "imagemagick",
                std::string(IMAGEMAGICK_CONVERT) + " in.ppm -strip -type TrueColor -compress None ",
                false, IMAGEMAGICK_MAJOR == 7 ? 0x20 : 0);
}

// Read from standard input, ppmtotga writes no image ID; from a named file it would write the
// file's name as one, and the pixels would then start one byte later than byte 18.
TEST(CrossWriters, NetpbmSlices) {
    checkWriter(PPMTOTGA, "netpbm", std::string(PPMTOTGA) + " -rgb -norle < in.ppm 2>/dev/null > ",
                true, 0);
}

} // namespace

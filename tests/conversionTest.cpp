// Writing volumes: the DF3 layout, the channel mapping and the streaming of pixels, checked
// against the model of the layout in the harness and against bytes written out by hand.
#include "harness.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <gtest/gtest.h>

namespace {

struct SizeCase {
    unsigned width, height, count;
    const char *header = nullptr; // the volumes' first 6 bytes, written out by hand
    const char *shim = nullptr;   // a fault shim setting for the run
};

// Sizes that show byte order, the smallest and largest sides, and pixel counts on either side of
// whole multiples of the conversion's block (2^17 pixels; any power of two up to 2^20 is covered).
TEST(Conversion, SizesAndBlockBoundaries) {
    const SizeCase cases[] = {{256, 256, 100, "\x01\x00\x01\x00\x00\x64"},
                              {300, 7, 2, "\x01\x2C\x00\x07\x00\x02"},
                              // The bytes a text-mode stream would change (LF, CR, Ctrl-Z), in the
                              // header as in the pixels.
                              {10, 13, 26, "\x00\x0A\x00\x0D\x00\x1A"},
                              {1, 1, 1},
                              {4096, 1, 2},
                              {1, 4096, 2},
                              {512, 256, 2},
                              {513, 256, 1},
                              {511, 256, 2},
                              {1024, 1024, 2},
                              {1025, 1024, 1},
                              {1023, 1025, 2},
                              {4096, 4096, 1}};
    for (const SizeCase &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << "x" << c.count);
        ScratchDir dir;
        const Stack stack =
            makeStack(dir.path, "v", c.width, c.height, c.count, c.width + c.height);
        const RunResult run = runSlicevol(dir.path, {"v"});
        expectConverted(dir.path, "v", c.width, c.height, stack, run);
        if (c.header != nullptr) {
            EXPECT_EQ(readFile(dir.path / "v_g.df3").substr(0, 6), std::string(c.header, 6));
        }
    }
}

// Stacks of at least 128 blocks, where the main thread and a helper take alternate blocks of each
// slice: an even and an odd number of blocks a slice, and slices that end inside a block. A file
// system that takes at most 1000 bytes a write (as FUSE and network file systems may) gets the
// rest of each block in later writes, one worker or two.
TEST(Conversion, TwoWorkersKeepEveryByteInPlace) {
    const SizeCase cases[] = {{1024, 256, 64},
                              {1536, 256, 43},
                              {1023, 1025, 16},
                              {64, 64, 3, nullptr, "SHIM_SHORT_WRITES=1000"},
                              {1024, 256, 64, nullptr, "SHIM_SHORT_WRITES=1000"}};
    for (const SizeCase &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << "x" << c.count << " "
                                          << (c.shim ? c.shim : ""));
        if (c.shim != nullptr && (testingWindows() || std::string(FAULT_SHIM).empty())) {
            skipRow(std::string(c.shim) + ": the fault shim wraps glibc's calls");
            continue;
        }
        ScratchDir dir;
        const Stack stack = makeStack(dir.path, "v", c.width, c.height, c.count, c.count);
        expectConverted(dir.path, "v", c.width, c.height, stack,
                        runSlicevol(dir.path, {"v"}, c.shim ? withShim(c.shim) : RunOptions{}));
    }
}

struct KnownPixelsCase {
    const char *what;
    unsigned width, height;
    std::vector<std::string> pixels; // per slice, stored blue, green, red
    std::string red, green, blue;    // the whole volumes, written out by hand
};

// Volumes written out by hand, independent of the model: one pixel, and grey pixels, whose three
// equal components give three equal volumes.
TEST(Conversion, KnownPixelsGiveKnownVolumes) {
    const std::string onePixel("\0\1\0\1\0\1", 6), greyHeader("\0\3\0\1\0\2", 6);
    const KnownPixelsCase cases[] = {
        {"one pixel",
         1,
         1,
         {"\x11\x22\x33"},
         onePixel + "\x33",
         onePixel + "\x22",
         onePixel + "\x11"},
        {"grey",
         3,
         1,
         {"\x05\x05\x05\x80\x80\x80\xff\xff\xff", std::string(9, '\0')},
         greyHeader + "\x05\x80\xff" + std::string(3, '\0'),
         greyHeader + "\x05\x80\xff" + std::string(3, '\0'),
         greyHeader + "\x05\x80\xff" + std::string(3, '\0')},
    };
    for (const KnownPixelsCase &c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        for (unsigned z = 0; z < c.pixels.size(); z++)
            writeFile(dir.path / sliceName("p", z), tga(c.width, c.height, c.pixels[z]));
        ASSERT_EQ(runSlicevol(dir.path, {"p"}).status, 0);
        EXPECT_EQ(readFile(dir.path / "p_r.df3"), c.red);
        EXPECT_EQ(readFile(dir.path / "p_g.df3"), c.green);
        EXPECT_EQ(readFile(dir.path / "p_b.df3"), c.blue);
    }
}

// Every slice's pixels are taken from byte 18, the first slice's size for all, whatever a header
// says; a header that says otherwise gets a warning naming the slice and what differs (the first
// three slices so, then a count), and the volumes stay exactly what they were. Origin bits and
// bytes after the pixels are no cause for a warning. A slice too short for its header ends the run
// (the "no data" error) with no warning of its own, whatever an earlier slice's header said.
struct HeaderCase {
    const char *what;
    std::vector<std::string> slices; // whole files, s000.tga, s001.tga, ...
    std::string err;
    bool lastIsShort = false; // the last slice ends inside its header
};

TEST(Conversion, PixelsAreTakenFromByte18OfEverySlice) {
    const unsigned w = 5, h = 4;
    const auto slice = [&](unsigned seed, std::map<int, int> bytes = {},
                           const std::string &id = "") {
        std::string file =
            tga(w, h, randomPixels(w, h, seed) + "TRUEVISION-XFILE footer", 0x20, id);
        for (const auto &[at, value] : bytes) file[at] = static_cast<char>(value);
        return file;
    };
    const auto warning = [&](unsigned z, const std::string &has) {
        return warningLine(sliceName("s", z), has, w, h);
    };
    const std::map<int, int> rle = {{2, 10}};
    const auto rleWarnings = [&](unsigned named) {
        std::string lines;
        for (unsigned z = 0; z < named; z++)
            lines += warning(z, "image type 10 (run-length encoded true colour)");
        return lines;
    };
    const HeaderCase cases[] = {
        {"origin bits and footers", {slice(1), slice(2)}, ""},
        {"an image ID", {slice(1), slice(2, {}, "slice id")}, warning(1, "an image ID of 8 bytes")},
        {"32 bits per pixel in the first slice",
         {slice(1, {{16, 32}}), slice(2)},
         warning(0, "32 bits per pixel")},
        {"a colour map",
         {slice(1), slice(2, {{1, 1}, {2, 1}, {16, 8}})},
         warning(1, "colour-map type 1, image type 1 (colour-mapped), 8 bits per pixel")},
        {"run-length encoded",
         {slice(1), slice(2, rle)},
         warning(1, "image type 10 (run-length encoded true colour)")},
        {"a larger later slice",
         {slice(1), tga(w + 3, h + 2, randomPixels(w + 3, h + 2, 2))},
         warning(1, "size 8 x 6, not 5 x 4")},
        {"a later slice one row taller",
         {slice(1), tga(w, h + 1, randomPixels(w, h + 1, 2))},
         warning(1, "size 5 x 5, not 5 x 4")},
        // Three slices are named; a count line follows only for more, in the singular for one.
        {"exactly three slices so",
         {slice(1, rle), slice(2, rle), slice(3, rle), slice(4)},
         rleWarnings(3)},
        {"four slices so",
         {slice(1, rle), slice(2, rle), slice(3, rle), slice(4, rle)},
         rleWarnings(3) + programWord() +
             ": warning 1 more slice has a header that says otherwise; read the same way\n"},
        {"more slices than are named",
         {slice(1, rle), slice(2, rle), slice(3, rle), slice(4), slice(5, rle), slice(6, rle)},
         rleWarnings(3) + programWord() +
             ": warning 2 more slices have headers that say otherwise; read the same way\n"},
        {"a slice shorter than a header after one that says 32 bits per pixel",
         {slice(1), slice(2, {{16, 32}}), slice(3).substr(0, 10)},
         warning(1, "32 bits per pixel"),
         true},
        {"a slice of its header alone, which says 32 bits per pixel",
         {slice(1), slice(2, {{16, 32}}).substr(0, 18)},
         warning(1, "32 bits per pixel"),
         true},
    };
    for (const HeaderCase &c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        Stack stack;
        for (std::size_t z = 0; z < c.slices.size(); z++) {
            stack.names.push_back(sliceName("s", unsigned(z)));
            stack.pixels.push_back(
                c.slices[z].substr(std::min<std::size_t>(18, c.slices[z].size())));
            writeFile(dir.path / stack.names.back(), c.slices[z]);
        }
        if (!c.lastIsShort) {
            expectConverted(dir.path, "s", w, h, stack, runSlicevol(dir.path, {"s"}), c.err);
            continue;
        }
        const Snapshot before = snapshot(dir.path);
        expectFailed(runSlicevol(dir.path, {"s"}), progressLines(stack.names),
                     c.err + errorLine(ENODATA), before, dir.path);
    }
}

// The streaming loop against the model on many random stacks: random sides from 1 up, slice
// counts, and slices longer than their pixels. Seeded, so a failure repeats.
TEST(Conversion, RandomStacksMatchTheModel) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 25; round++) {
        const unsigned w = 1 + random() % (round % 5 == 0 ? 1200 : 70);
        const unsigned h = 1 + random() % (round % 5 == 0 ? 1000 : 70);
        const unsigned count = 1 + random() % 4;
        SCOPED_TRACE(::testing::Message()
                     << "round " << round << ": " << w << "x" << h << "x" << count);
        ScratchDir dir;
        Stack stack;
        for (unsigned z = 0; z < count; z++) {
            std::string pixels = randomPixels(w, h, random());
            pixels += randomPixels(random() % 5, 1, random()); // trailing bytes, ignored
            stack.names.push_back(sliceName("r", z));
            stack.pixels.push_back(pixels);
            writeFile(dir.path / stack.names.back(), tga(w, h, pixels));
        }
        expectConverted(dir.path, "r", w, h, stack, runSlicevol(dir.path, {"r"}));
    }
}

} // namespace

// The real consumer: POV-Ray reads the three volumes as media density and renders them. A volume
// with a dense corner per channel must come out bright exactly there, seen from the front and from
// the side, so a wrong header byte order, a swapped channel or a wrong x, y or z order all show.
#include "harness.h"

#include <sstream>
#include <gtest/gtest.h>

namespace {

constexpr unsigned sx = 12, sy = 8, sz = 6; // distinct sizes, so a transposed layout shows

// Which corners of the volume are dense, per channel (red, green, blue); "low" is the half nearer
// 0.
bool dense(int channel, unsigned x, unsigned y, unsigned z) {
    const bool lowX = x < sx / 2, lowY = y < sy / 2, lowZ = z < sz / 2;
    switch (channel) {
    case 0: return lowX && lowY && lowZ;
    case 1: return !lowX && !lowY && !lowZ;
    default: return lowX && !lowY && !lowZ;
    }
}

const char *scene = R"(#version 3.7;
global_settings { assumed_gamma 1.0 }
#if (View = 0)
  camera { orthographic location <0.5, 0.5, -3> direction z right x up y }
#else
  camera { orthographic location <-3, 0.5, 0.5> direction x right z up y }
#end
background { rgb 0 }
#macro Glow(File, Colour)
  media { emission 8 * Colour density { density_file df3 File interpolate 0 } }
#end
box { 0, 1 pigment { rgbt 1 } hollow
  interior { Glow("v_r.df3", <1, 0, 0>) Glow("v_g.df3", <0, 1, 0>) Glow("v_b.df3", <0, 0, 1>) } }
)";

constexpr unsigned side = 48; // rendered image size in pixels

// Renders one view to a binary PPM and answers its pixels (RGB, top row first).
std::string render(const fs::path &dir, int view) {
    const std::string image = "view" + std::to_string(view) + ".ppm";
    const std::string size = std::to_string(side);
    const std::string command =
        std::string(POVRAY) + " +Iscene.pov +O" + image + " +FP +W" + size + " +H" + size +
        " -A -D -V -GS -GR Declare=View=" + std::to_string(view) + " 2>povray.log";
    EXPECT_EQ(shellIn(dir, command), 0) << readFile(dir / "povray.log");
    const std::string log = readFile(dir / "povray.log");
    EXPECT_EQ(log.find("Warning"), std::string::npos) << log;
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;
    // The header is "P6", width, height and maximum value, separated by white space; POV-Ray
    // adds comment lines ("# ...") between them.
    std::istringstream ppm(readFile(dir / image));
    std::vector<std::string> fields;
    for (std::string word; fields.size() < 4 && ppm >> word;) {
        if (word[0] == '#') std::getline(ppm, word);
        else fields.push_back(word);
    }
    EXPECT_EQ(fields,
              (std::vector<std::string>{"P6", std::to_string(side), std::to_string(side), "255"}));
    ppm.get(); // the single white-space character before the pixels
    return std::string(std::istreambuf_iterator<char>(ppm), {});
}

TEST(PovRay, RendersTheDensityWhereTheSlicesPutIt) {
    if (std::string(POVRAY).empty())
        GTEST_SKIP() << "skipped: POV-Ray is not installed (Debian: apt-get install povray)";
    ScratchDir dir;
    // Slice z, stored row y, column x; each channel 255 where its corner is dense, else 0.
    for (unsigned z = 0; z < sz; z++) {
        std::string pixels;
        for (unsigned y = 0; y < sy; y++)
            for (unsigned x = 0; x < sx; x++)
                for (int byte = 0; byte < 3; byte++) // blue, green, red
                    pixels += dense(2 - byte, x, y, z) ? '\xff' : '\0';
        writeFile(dir.path / sliceName("v", z), tga(sx, sy, pixels));
    }
    ASSERT_EQ(runSlicevol(dir.path, {"v"}).status, 0);
    writeFile(dir.path / "scene.pov", scene);

    // The centres of the image's quadrants: left or right half, then upper or lower half. POV-Ray's
    // y axis points up, so the lower half of the image is the low half of the volume's y.
    struct Quadrant {
        const char *where;
        unsigned column, row;
        bool lowAcross, lowY; // across the image: x in the front view, z in the side view
    };
    constexpr unsigned nearSide = side / 4, farSide = 3 * side / 4;
    const Quadrant quadrants[] = {{"lower left", nearSide, farSide, true, true},
                                  {"lower right", farSide, farSide, false, true},
                                  {"upper left", nearSide, nearSide, true, false},
                                  {"upper right", farSide, nearSide, false, false}};
    for (int view = 0; view < 2; view++) {
        SCOPED_TRACE(view == 0 ? "front view, across is x" : "side view, across is z");
        const std::string image = render(dir.path, view);
        if (image.size() != side * side * 3) continue;
        for (const Quadrant &q : quadrants) {
            for (int channel = 0; channel < 3; channel++) {
                // Seen along the view's axis, a channel glows where any voxel on the line is dense.
                bool expected = false;
                for (unsigned depth = 0; depth < (view == 0 ? sz : sx); depth++) {
                    const unsigned x = view == 0 ? (q.lowAcross ? 0 : sx - 1) : depth;
                    const unsigned z = view == 0 ? depth : (q.lowAcross ? 0 : sz - 1);
                    expected |= dense(channel, x, q.lowY ? 0 : sy - 1, z);
                }
                const int value =
                    static_cast<unsigned char>(image[3 * (q.row * side + q.column) + channel]);
                if (expected) EXPECT_GT(value, 200) << q.where << " channel " << channel;
                else EXPECT_LT(value, 30) << q.where << " channel " << channel;
            }
        }
    }
}

} // namespace

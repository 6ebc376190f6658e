// makeStack: writes a stack of slices for slicevol to convert.
//
//   makeStack basename width height count [sphere|noise]
//
// Slices are uncompressed 24-bit TGA files with the top row stored first, named
// <basename>000.tga, <basename>001.tga, ... (wider numbers when count needs them, so byte order is
// numeric order). "sphere" (the default) colours a ball by position: red grows with x, green with
// y, blue with z, black outside. "noise" fills every byte from a fixed-seed generator, for
// benchmarks.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void putLittleEndian16(unsigned char *to, unsigned value) {
    to[0] = static_cast<unsigned char>(value & 0xff);
    to[1] = static_cast<unsigned char>(value >> 8);
}

unsigned char sphereComponent(double position) {
    return static_cast<unsigned char>(position * 255);
}

void fillSphere(std::vector<unsigned char> &pixels, unsigned w, unsigned h, unsigned z,
                unsigned d) {
    const double fz = (z + 0.5) / d;
    for (unsigned y = 0; y < h; y++) {
        // The top row is stored first, so row 0 is the largest y.
        const double fy = 1 - (y + 0.5) / h;
        for (unsigned x = 0; x < w; x++) {
            const double fx = (x + 0.5) / w;
            const double r2 = std::pow(fx - 0.5, 2) + std::pow(fy - 0.5, 2) + std::pow(fz - 0.5, 2);
            unsigned char *p = &pixels[3 * (std::size_t{y} * w + x)];
            const bool inside = r2 <= 0.2;
            p[0] = inside ? sphereComponent(fz) : 0; // blue
            p[1] = inside ? sphereComponent(fy) : 0; // green
            p[2] = inside ? sphereComponent(fx) : 0; // red
        }
    }
}

void fillNoise(std::vector<unsigned char> &pixels, std::uint64_t &state) {
    for (unsigned char &byte : pixels) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        byte = static_cast<unsigned char>(state >> 56);
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: %s basename width height count [sphere|noise]\n", argv[0]);
        return 1;
    }
    const std::string base = argv[1];
    const unsigned w = std::strtoul(argv[2], nullptr, 10);
    const unsigned h = std::strtoul(argv[3], nullptr, 10);
    const unsigned d = std::strtoul(argv[4], nullptr, 10);
    const std::string pattern = argc == 6 ? argv[5] : "sphere";
    if (w < 1 || w > 65535 || h < 1 || h > 65535 || d < 1 ||
        (pattern != "sphere" && pattern != "noise")) {
        std::fprintf(stderr, "%s: bad size or pattern\n", argv[0]);
        return 1;
    }
    const int digits = std::max(3, static_cast<int>(std::to_string(d - 1).size()));

    unsigned char header[18] = {};
    header[2] = 2; // uncompressed true-colour
    putLittleEndian16(header + 12, w);
    putLittleEndian16(header + 14, h);
    header[16] = 24;   // bits per pixel
    header[17] = 0x20; // top-left origin
    std::vector<unsigned char> pixels(std::size_t{w} * h * 3);
    std::uint64_t state = 12345;

    for (unsigned z = 0; z < d; z++) {
        if (pattern == "sphere") fillSphere(pixels, w, h, z, d);
        else fillNoise(pixels, state);
        std::string number = std::to_string(z);
        number.insert(0, digits - number.size(), '0');
        const std::string name = base + number + ".tga";
        FILE *out = std::fopen(name.c_str(), "wb");
        if (out == nullptr || std::fwrite(header, 1, sizeof header, out) != sizeof header ||
            std::fwrite(pixels.data(), 1, pixels.size(), out) != pixels.size() ||
            std::fclose(out) != 0) {
            std::perror(name.c_str());
            return 1;
        }
    }
    return 0;
}

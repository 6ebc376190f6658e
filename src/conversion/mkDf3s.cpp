// The three DF3 density volumes, one per colour channel, named <basename>_r.df3, _g.df3, _b.df3
// (df3NameOf).
//
//   offset  size      field
//        0     2      x size: slice width, big-endian
//        2     2      y size: slice height, big-endian
//        4     2      z size: slice count, big-endian
//        6  x*y*z     voxels, one byte each; x fastest, then y, then z
//
// A voxel is one colour component of one slice pixel, unchanged; x and y follow the slice's stored
// pixel order and z the slice list. Each volume is written front to back with no seeking, since
// every dimension is known before the first voxel.
#include "conversion/mkDf3s.h"
#include "conversion/copyPixels.h"
#include "conversion/freeSpace.h"
#include "slices/tgaSlice.h"
#include "run/errExit.h"
#include "run/messages.h"
#include "run/outputs.h"
#include "run/runState.h"
#include "run/signals.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t headerSize = 6;
constexpr char channelLetter[3] = {'r', 'g', 'b'};

void putBigEndian16(unsigned char *to, std::uint64_t value) {
    to[0] = static_cast<unsigned char>(value >> 8);
    to[1] = static_cast<unsigned char>(value & 0xff);
}

int preparationFailed(const char *base) {
    say(Stream::err, "preparing DF3s for '%s' failed.\n", base);
    return 1;
}

} // namespace

char *df3NameOf(const char *base, int c) {
    const std::size_t size = std::strlen(base) + sizeof "_r.df3";
    char *name = static_cast<char *>(std::malloc(size));
    if (name == nullptr) errExit();
    std::snprintf(name, size, "%s_%c.df3", base, channelLetter[c]);
    return name;
}

int mkDf3s(const char *base) {
    if (!readSize()) return preparationFailed(base);
    if (!enoughSpace(width, height, ntodo)) return preparationFailed(base);

    unsigned char header[headerSize];
    putBigEndian16(header, width);
    putBigEndian16(header + 2, height);
    putBigEndian16(header + 4, ntodo);

    for (int c = 0; c < 3; c++) {
        if (stopRequested()) endByStop();
        if (!openOutput(df3NameOf(base, c), c, headerSize + width * height * ntodo))
            return preparationFailed(base);
        if (!writeOutput(c, header, headerSize)) errExit();
    }

    copyPixels();
    finishOutputs();
    return 0;
}

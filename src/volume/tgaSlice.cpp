// The slice flavour read here: an uncompressed 24-bit true-colour TGA with no image ID and no
// colour map, so the pixel data starts at byte 18. Only the first slice's size is read; the other
// header fields are neither read nor checked.
//
//   offset  size  field
//        0    12  ID length, colour-map type, image type, colour-map layout, x and y origin (unused)
//       12     2  width in pixels, little-endian
//       14     2  height in pixels, little-endian
//       16     1  pixel depth (taken to be 24)
//       17     1  image descriptor (origin bits not looked at: rows stay in stored order)
//       18  w*h*3 pixels, 3 bytes each: blue, green, red
#include "volume/tgaSlice.h"
#include "volume/checkedIo.h"
#include "run/runState.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr long sizeOffset = 12;
constexpr long pixelOffset = 18;

std::uint64_t readLittleEndian16(FILE *in) {
    unsigned char field[2];
    readExactly(field, 1, 2, in);
    return field[0] + 256u * field[1];
}

bool sideOk(std::uint64_t side) { return side >= 1 && side <= maxSide; }

// Opens a slice for reading without ever waiting: a FIFO with no writer would otherwise hang the
// run at its open, with part-written volumes on disk, until someone killed it. Opened this way it
// fails at once (it cannot be positioned, and it reads as empty). Regular files are unaffected.
// Null, with errno set, on failure.
FILE *openForReading(const char *name) {
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd == -1) return nullptr;
    FILE *in = fdopen(fd, "rb");
    if (in == nullptr) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return in;
}

} // namespace

bool readSize() {
    FILE *in = openForReading(todo[0]);
    if (in == nullptr) errExit();
    if (std::fseek(in, sizeOffset, SEEK_SET) != 0) errExit();

    const std::uint64_t w = readLittleEndian16(in);
    if (!sideOk(w)) {
        std::fclose(in);
        return false;
    }
    width = w;
    const std::uint64_t h = readLittleEndian16(in);
    if (!sideOk(h)) {
        std::fclose(in);
        return false;
    }
    height = h;
    std::fclose(in);
    return true;
}

FILE *openSlice(const char *name) {
    FILE *in = openForReading(name);
    if (in == nullptr) return nullptr;
    if (std::fseek(in, pixelOffset, SEEK_SET) != 0) {
        const int error = errno;
        std::fclose(in);
        errno = error;
        return nullptr;
    }
    return in;
}

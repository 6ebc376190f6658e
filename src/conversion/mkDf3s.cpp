// The three DF3 density volumes, one per colour channel, named <basename>_r.df3, _g.df3, _b.df3.
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
#include "volume/checkedIo.h"
#include "volume/freeSpace.h"
#include "volume/tgaSlice.h"
#include "run/cleanUp.h"
#include "run/errExit.h"
#include "run/runState.h"
#include "run/standardStreams.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char channelLetter[3] = {'r', 'g', 'b'};
constexpr std::size_t headerSize = 6;

void putBigEndian16(unsigned char *to, std::uint64_t value) {
    to[0] = static_cast<unsigned char>(value >> 8);
    to[1] = static_cast<unsigned char>(value & 0xff);
}

int preparationFailed(const char *base) {
    std::fprintf(stderr, "preparing DF3s for '%s' failed.\n", base);
    return 1;
}

// Creates output c and puts it on the register; false when its name exists in any form (a file,
// readable or not, a directory, a dangling link). O_EXCL makes the test and the create one step, so
// an existing file is never truncated. Signals are held so that no signal falls between the file
// appearing and its entry on the register. Its identity is taken from the open file itself, before
// anything can rename another file over its name.
bool createOutput(int c) {
    sigset_t before;
    holdSignals(&before);
    const int fd = open(df3Name[c], O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd == -1) {
        if (errno != EEXIST) errExit();
        releaseSignals(before);
        return false;
    }
    struct stat created;
    if (fstat(fd, &created) != 0) {
        const int error = errno;
        unlink(df3Name[c]); // made by us a moment ago; with no identity this is the best we know
        close(fd);
        errno = error;
        errExit();
    }
    df3Dev[c] = created.st_dev;
    df3Ino[c] = created.st_ino;
    FILE *out = fdopen(fd, "wb");
    // Whole blocks go straight to the file: a stream buffer would only split each block in two.
    if (out == nullptr || !setBuffering(out, _IONBF)) {
        const int error = errno;
        unlinkIfOurs(c); // not on the register yet, so nobody else would delete it
        if (out != nullptr) std::fclose(out);
        else close(fd);
        errno = error;
        errExit();
    }
    df3File[c] = out;
    releaseSignals(before);
    return true;
}

// Closes the three volumes. A volume whose close succeeded is finished and leaves the register; one
// whose close failed stays on it, marked so it is not closed again, and is deleted at exit. The
// other volumes are still closed; the first failure's error then ends the run.
void finishOutputs() {
    int firstError = 0;
    sigset_t before;
    holdSignals(&before);
    for (int c = 0; c < 3; c++) {
        errno = 0;
        if (std::fclose(df3File[c]) == 0) {
            df3File[c] = nullptr;
        } else {
            df3Closed[c] = true;
            if (firstError == 0) firstError = errno != 0 ? errno : EIO;
        }
    }
    releaseSignals(before);
    if (firstError != 0) {
        errno = firstError;
        errExit();
    }
}

} // namespace

int mkDf3s(const char *base) {
    if (!readSize()) return preparationFailed(base);
    if (!enoughSpace(width, height, ntodo)) return preparationFailed(base);

    unsigned char header[headerSize];
    putBigEndian16(header, width);
    putBigEndian16(header + 2, height);
    putBigEndian16(header + 4, ntodo);

    // "<base>_r.df3": the basename, the suffix and the terminator.
    const std::size_t nameSize = std::strlen(base) + sizeof "_r.df3";
    for (int c = 0; c < 3; c++) {
        char *name = static_cast<char *>(std::malloc(nameSize));
        if (name == nullptr) errExit();
        std::snprintf(name, nameSize, "%s_%c.df3", base, channelLetter[c]);
        // The name is complete before the output exists, so the signal handler can always use it.
        df3Name[c] = name;
        if (!createOutput(c)) return preparationFailed(base);
        if (!writeAll(header, 1, headerSize, df3File[c])) errExit();
    }

    copyPixels();
    finishOutputs();
    return 0;
}

// Free space: the estimate itself, and the same boundaries reached through a file system that
// reports chosen figures.
#include "harness.h"
#include "volume/freeSpace.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

struct EstimateCase {
    std::uint64_t width, height, count, blockSize, available;
    bool fits;
};

TEST(FreeSpace, Estimate) {
    const EstimateCase cases[] = {
        // ((256 * 256 * 100 + 8192) / 4096) * 3 = 4806 blocks needed; more than that must be free.
        {256, 256, 100, 4096, 4806, false},
        {256, 256, 100, 4096, 4807, true},
        {1, 1, 1, 4096, 6, false},
        {1, 1, 1, 4096, 7, true},
        {1, 1, 1, 4096, 0, false},
        {1, 1, 1, 0, 1000000, false},
        {1, 1, 1, 1, 24579, false}, // one-byte blocks: (1 + 8192) * 3 = 24579 needed
        {1, 1, 1, 1, 24580, true},
        // The largest stack: 4096 * 4096 * 65535 + 8192 bytes is 268431362 blocks of 4 KiB.
        {4096, 4096, 65535, 4096, 805294086, false},
        {4096, 4096, 65535, 4096, 805294087, true},
    };
    for (const EstimateCase &c : cases)
        EXPECT_EQ(spaceSuffices(c.width, c.height, c.count, c.blockSize, c.available), c.fits)
            << c.width << "x" << c.height << "x" << c.count << " in " << c.available << " blocks of "
            << c.blockSize;
}

struct FileSystemCase {
    const char *statvfs; // block size, fragment size, available blocks
    bool fits;
};

// 100 slices of 256 x 256 on file systems that report chosen figures (through the fault shim).
TEST(FreeSpace, RefusesBeforeCreatingAnything) {
    SKIP_WITHOUT_FAULT_SHIM();
    const FileSystemCase cases[] = {
        {"4096,4096,4806", false}, {"4096,4096,4807", true}, {"4096,4096,0", false},
        {"0,4096,4806", false},    {"0,4096,4807", true},    {"0,0,99999999", false},
    };
    ScratchDir dir;
    const Stack stack = makeStack(dir.path, "cloud", 256, 256, 100);
    for (const FileSystemCase &c : cases) {
        SCOPED_TRACE(c.statvfs);
        const Snapshot before = snapshot(dir.path);
        RunOptions options = withShim(std::string("SHIM_STATVFS=") + c.statvfs);
        const RunResult run = runSlicevol(dir.path, {"cloud"}, options);
        if (c.fits) {
            expectConverted(dir.path, "cloud", 256, 256, stack, run);
            for (const std::string &output : outputNames("cloud")) fs::remove(dir.path / output);
            expectUnchanged(before, dir.path);
        } else {
            expectRefused(run, "preparing DF3s for 'cloud' failed.\n", before, dir.path);
        }
    }
}

} // namespace

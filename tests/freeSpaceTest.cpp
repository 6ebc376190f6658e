// Free space: the estimate itself, the same boundaries reached through a file system that reports
// chosen figures and through a real small one, and the room reserved for the volumes.
#include "harness.h"
#include "volume/freeSpace.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// The same on a real 1 MiB file system (256 blocks of 4 KiB) that holds only the volumes, so that
// the system's own answer is read, on Windows too: 32 slices of 64 x 64 need 102 blocks, of
// 128 x 128 390.
TEST(FreeSpace, SmallFileSystem) {
    for (const auto &[side, fits] : {std::pair{64u, true}, std::pair{128u, false}}) {
        SCOPED_TRACE(side);
        MountedFs small("tmpfs", 1);
        SKIP_UNLESS_MOUNTED(small);
        ScratchDir store;
        const Stack stack = linkStack(store.path, small.path, "s", side, side, 32);
        const Snapshot before = snapshot(small.path);
        const RunResult run = runSlicevol(small.path, {"s"});
        if (fits) expectConverted(small.path, "s", side, side, stack, run);
        else expectRefused(run, "preparing DF3s for 's' failed.\n", before, small.path);
    }
}

struct ReservationCase {
    const char *what, *type, *options;
    unsigned side, count; // the stack, linked from elsewhere: volumes of side x side x count bytes
    char grey;            // slices of one grey (compressible), or (0) of random bytes
    bool fakedFreeSpace;  // slicevol is told that the file system has room to spare
};

// Where slicevol reserves room for its volumes, the reservation must never cost the user space: a
// finished volume holds no more blocks than its length needs; on an ext4 too small for the three
// volumes (the free space faked large) the run ends as without a reservation, with its progress
// and the disk-full error, and every block taken is given back; on a btrfs that compresses, the
// volumes of a compressible stack are compressed.
TEST(FreeSpace, ReservationsCostNoSpace) {
    const ReservationCase cases[] = {
        {"ext4, volumes that fit", "ext4", "", 256, 64, 0, false},
        {"ext4, volumes that cannot all be reserved", "ext4", "", 512, 128, 0, true},
        {"btrfs with compress=zstd", "btrfs", "compress=zstd", 512, 64, '\x40', false},
    };
    for (const ReservationCase &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.fakedFreeSpace && (testingWindows() || std::string(FAULT_SHIM).empty())) continue;
        MountedFs small(c.type, c.type == std::string("btrfs") ? 256 : 64, c.options);
        SKIP_UNLESS_MOUNTED(small);
        ScratchDir store;
        const Stack stack = linkStack(store.path, small.path, "s", c.side, c.side, c.count, c.grey);
        const Snapshot before = snapshot(small.path);
        // btrfs counts a file's blocks before compression: what it takes shows in the free space.
        const auto freeSpace = [&] { return shellIn(small.path, "sync") == 0 ? fs::space(small.path).free : 0; };
        const std::uintmax_t freeBefore = freeSpace(), length = 6 + std::uintmax_t{c.side} * c.side * c.count;
        const RunResult run = runSlicevol(small.path, {"s"}, c.fakedFreeSpace ? withShim("SHIM_STATVFS=4096,4096,99999999") : RunOptions{});
        if (c.fakedFreeSpace) {
            expectFailedMidRun(run, stack, ENOSPC);
            expectUnchanged(before, small.path);
            // All of it, but for a block or two the directory may have grown by for the names.
            EXPECT_LE(freeBefore - freeSpace(), 8192u);
            continue;
        }
        expectConverted(small.path, "s", c.side, c.side, stack, run);
        if (c.grey != 0) {
            EXPECT_LT(freeBefore - freeSpace(), 3 * length / 10);
            continue;
        }
        for (const std::string &output : outputNames("s")) {
            struct stat volume = {};
            EXPECT_EQ(stat((small.path / output).c_str(), &volume), 0);
            EXPECT_LE(std::uintmax_t(volume.st_blocks) * 512, (length + 4095) / 4096 * 4096) << output;
        }
    }
}

} // namespace

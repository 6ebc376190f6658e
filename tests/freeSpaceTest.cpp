// Free space: the estimate itself, the same boundaries reached through a file system that reports
// chosen figures, and real small file systems: their answer, a disk that fills, the room reserved.
#include "harness.h"
#include "conversion/freeSpace.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct EstimateCase {
    std::uint64_t width, height, count, blockSize, available;
    bool fits;
};

TEST(FreeSpace, Estimate) {
    const EstimateCase cases[] = {
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

// 100 slices of 256 x 256 on file systems that report chosen figures (through the fault shim):
// ((256 * 256 * 100 + 8192) / 4096) * 3 = 4806 units of 4 KiB needed; more than that must be free.
// The free count is in fragments, whatever the block size says (ZFS's is 128 KiB or more, FUSE's
// may be 512 bytes); a fragment size of 0 falls back on the block size.
TEST(FreeSpace, RefusesBeforeCreatingAnything) {
    SKIP_WITHOUT_FAULT_SHIM();
    const FileSystemCase cases[] = {
        {"4096,4096,4806", false},    {"4096,4096,4807", true},    {"4096,4096,0", false},
        {"1048576,4096,4806", false}, {"1048576,4096,4807", true}, {"512,4096,4806", false},
        {"512,4096,4807", true},      {"4096,0,4806", false},      {"4096,0,4807", true},
        {"0,0,99999999", false},
    };
    for (const FileSystemCase &c : cases) {
        SCOPED_TRACE(c.statvfs);
        ScratchDir dir;
        const Stack stack = makeStack(dir.path, "cloud", 256, 256, 100);
        const Snapshot before = snapshot(dir.path);
        RunOptions options = withShim(std::string("SHIM_STATVFS=") + c.statvfs);
        const RunResult run = runSlicevol(dir.path, {"cloud"}, options);
        if (c.fits) expectConverted(dir.path, "cloud", 256, 256, stack, run);
        else expectRefused(run, "preparing DF3s for 'cloud' failed.\n", before, dir.path);
    }
}

enum Outcome { converts, refused, failsMidway, stoppedAtSecondSlice };

struct RealFileSystemCase {
    const char *what, *type, *options;
    unsigned mebibytes;
    unsigned side, count; // the stack, linked from elsewhere: volumes of side x side x count bytes
    char grey;            // slices of one grey (compressible), or (0) of random bytes
    bool fakedFreeSpace;  // slicevol is told that the file system has room to spare
    bool filled;          // another program fills it once the run is at its second slice
    Outcome outcome;
};

// Real small file systems that hold only the volumes. The estimate reads the system's own answer
// (on Windows too: 32 slices of 64 x 64 need 102 of a 1 MiB tmpfs's 256 blocks, of 128 x 128 390).
// A disk that fills after the check ends the run with the disk-full error (on Windows it was once
// "Invalid argument"), nothing left. Where room is reserved for the volumes, that never costs the
// user space: a volume holds no more blocks than its length needs; on an ext4 too small for the
// volumes (the free space faked large) the run ends as without a reservation, and every block
// taken is given back; on a btrfs that compresses, a compressible stack's volumes are compressed.
// On ext4 the room is really reserved: a run stopped at its second slice holds every block of its
// volumes already (written as it goes, a volume would hold one slice's).
TEST(FreeSpace, OnRealFileSystems) {
    const RealFileSystemCase cases[] = {
        {"a tmpfs with room", "tmpfs", "", 1, 64, 32, 0, false, false, converts},
        {"a tmpfs without room", "tmpfs", "", 1, 128, 32, 0, false, false, refused},
        {"a tmpfs filled by another program", "tmpfs", "", 64, 256, 256, 0, false, true, failsMidway},
        {"ext4, volumes that fit", "ext4", "", 64, 256, 64, 0, false, false, converts},
        {"ext4, a run stopped at its second slice", "ext4", "", 64, 256, 64, 0, false, false, stoppedAtSecondSlice},
        {"ext4, volumes that cannot all be reserved", "ext4", "", 64, 512, 128, 0, true, false, failsMidway},
        {"btrfs with compress=zstd", "btrfs", "compress=zstd", 256, 512, 64, '\x40', false, false, converts},
    };
    for (const RealFileSystemCase &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.fakedFreeSpace && (testingWindows() || std::string(FAULT_SHIM).empty())) {
            skipRow(std::string(c.what) + ": the free space is faked by the fault shim, which wraps glibc's calls");
            continue;
        }
        MountedFs small(c.type, c.mebibytes, c.options);
        if (!small.why.empty()) {
            skipRow(std::string(c.what) + ": " + small.why);
            continue;
        }
        ScratchDir store;
        const Stack stack = symlinkStack(store.path, small.path, "s", c.side, c.side, c.count, c.grey);
        const Snapshot before = snapshot(small.path);
        // btrfs counts a file's blocks before compression: what it takes shows in the free space.
        const auto freeSpace = [&] { return shellIn(small.path, "sync") == 0 ? fs::space(small.path).free : 0; };
        const std::uintmax_t freeBefore = freeSpace(), length = 6 + std::uintmax_t{c.side} * c.side * c.count;
        RunOptions options = c.fakedFreeSpace ? withShim("SHIM_STATVFS=4096,4096,99999999") : RunOptions{};
        if (c.outcome == stoppedAtSecondSlice) {
            if (testingWindows()) {
                skipRow(std::string(c.what) + ": slicevol.exe reserves no room");
                continue;
            }
            options.interruptAt = "adding file 's001.tga'";
            options.insteadOfInterrupt = [&](pid_t pid) {
                kill(pid, SIGSTOP);
                for (const std::string &output : outputNames("s")) {
                    struct stat volume = {};
                    EXPECT_EQ(stat((small.path / output).c_str(), &volume), 0);
                    EXPECT_GE(std::uintmax_t(volume.st_blocks) * 512, length) << output;
                }
                kill(pid, SIGINT);
                kill(pid, SIGCONT);
            };
        }
        if (c.filled) {
            options.interruptAt = "adding file 's001.tga'";
            options.insteadOfInterrupt = [&](pid_t pid) {
                kill(pid, SIGSTOP);
                std::ofstream filler(small.path / "filler", std::ios::binary);
                const std::string chunk(1 << 20, 'f');
                while (filler.write(chunk.data(), chunk.size())) {}
                kill(pid, SIGCONT);
            };
        }
        const RunResult run = runSlicevol(small.path, {"s"}, options);
        fs::remove(small.path / "filler");
        if (c.outcome == refused) {
            expectRefused(run, "preparing DF3s for 's' failed.\n", before, small.path);
        } else if (c.outcome == stoppedAtSecondSlice) {
            EXPECT_EQ(run.signal, SIGINT);
            expectUnchanged(before, small.path);
        } else if (c.outcome == failsMidway) {
            expectFailedMidRun(run, stack, ENOSPC);
            expectUnchanged(before, small.path);
            // All of it, but for a block or two the directory may have grown by for the names.
            EXPECT_LE(freeBefore - freeSpace(), 8192u);
        } else if (c.grey != 0) {
            expectConverted(small.path, "s", c.side, c.side, stack, run);
            EXPECT_LT(freeBefore - freeSpace(), 3 * length / 10);
        } else {
            expectConverted(small.path, "s", c.side, c.side, stack, run);
            for (const std::string &output : outputNames("s")) {
                struct stat volume = {};
                EXPECT_EQ(stat((small.path / output).c_str(), &volume), 0);
                EXPECT_LE(std::uintmax_t(volume.st_blocks) * 512, (length + 4095) / 4096 * 4096) << output;
            }
        }
    }
    skipIfEveryRowSkipped(std::size(cases));
}

} // namespace

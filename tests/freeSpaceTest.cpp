// Free space: the estimate itself, the same boundaries reached through a file system that reports
// chosen figures, and real small file systems: their answer, a disk that fills, the room reserved.
#include "harness.h"
#include "conversion/freeSpace.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
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
            << c.width << "x" << c.height << "x" << c.count << " in " << c.available
            << " blocks of " << c.blockSize;
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
        else expectRefused(run, refusalLine("cloud"), before, dir.path);
    }
}

// What is done once the run is at its second slice, and how the run ends.
enum class AtSecondSlice { nothing, fill, checkReservedThenStop };
enum class Outcome { converts, refused, failsMidway, stopped };

struct RealFileSystemCase {
    const char *what;
    const char *type; // tmpfs, or a file system made in a loop-mounted image
    const char *mountOptions = "";
    unsigned mebibytes;
    unsigned side, count;        // the stack, linked from elsewhere: side x side x count voxels
    char grey = 0;               // slices of one grey (compressible), or (0) of random bytes
    bool fakedFreeSpace = false; // slicevol is told that the file system has room to spare
    AtSecondSlice atSecondSlice = AtSecondSlice::nothing;
    Outcome outcome;
};

// Real small file systems that hold only the volumes. The estimate reads the system's own answer
// (on Windows too: 32 slices of 64 x 64 need 102 of a 1 MiB tmpfs's 256 blocks, of 128 x 128 390).
// A disk that another program fills after the check ends the run with the disk-full error (on
// Windows it was once "Invalid argument"), nothing left. Where room is reserved for the volumes,
// that never costs the user space: a volume holds no more blocks than its length needs; on an ext4
// too small for the volumes (the free space faked large) the run ends as without a reservation,
// and every block taken is given back; on a btrfs that compresses, a compressible stack's volumes
// are compressed. On ext4 the room is really reserved: a run stopped at its second slice holds
// every block of its volumes already (written as it goes, a volume would hold one slice's).
TEST(FreeSpace, OnRealFileSystems) {
    const RealFileSystemCase cases[] = {
        {.what = "a tmpfs with room",
         .type = "tmpfs",
         .mebibytes = 1,
         .side = 64,
         .count = 32,
         .outcome = Outcome::converts},
        {.what = "a tmpfs without room",
         .type = "tmpfs",
         .mebibytes = 1,
         .side = 128,
         .count = 32,
         .outcome = Outcome::refused},
        {.what = "a tmpfs filled by another program",
         .type = "tmpfs",
         .mebibytes = 64,
         .side = 256,
         .count = 256,
         .atSecondSlice = AtSecondSlice::fill,
         .outcome = Outcome::failsMidway},
        {.what = "ext4, volumes that fit",
         .type = "ext4",
         .mebibytes = 64,
         .side = 256,
         .count = 64,
         .outcome = Outcome::converts},
        {.what = "ext4, a run stopped at its second slice",
         .type = "ext4",
         .mebibytes = 64,
         .side = 256,
         .count = 64,
         .atSecondSlice = AtSecondSlice::checkReservedThenStop,
         .outcome = Outcome::stopped},
        {.what = "ext4, volumes that cannot all be reserved",
         .type = "ext4",
         .mebibytes = 64,
         .side = 512,
         .count = 128,
         .fakedFreeSpace = true,
         .outcome = Outcome::failsMidway},
        {.what = "btrfs with compress=zstd",
         .type = "btrfs",
         .mountOptions = "compress=zstd",
         .mebibytes = 256,
         .side = 512,
         .count = 64,
         .grey = '\x40',
         .outcome = Outcome::converts},
    };
    const bool shim = !testingWindows() && !std::string(FAULT_SHIM).empty();
    for (const RealFileSystemCase &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.fakedFreeSpace && !shim) {
            skipRow(std::string(c.what) +
                    ": the free space is faked by the fault shim, which wraps glibc's calls");
            continue;
        }
        if (c.atSecondSlice == AtSecondSlice::checkReservedThenStop && testingWindows()) {
            skipRow(std::string(c.what) + ": slicevol.exe reserves no room");
            continue;
        }
        MountedFs small(c.type, c.mebibytes, c.mountOptions);
        if (!small.why.empty()) {
            skipRow(std::string(c.what) + ": " + small.why);
            continue;
        }
        ScratchDir store;
        const Stack stack =
            symlinkStack(store.path, small.path, "s", c.side, c.side, c.count, c.grey);
        const Snapshot before = snapshot(small.path);
        // btrfs counts a file's blocks before compression: what it takes shows in the free space.
        const auto freeSpace = [&] {
            return shellIn(small.path, "sync") == 0 ? fs::space(small.path).free : 0;
        };
        const std::uintmax_t freeBefore = freeSpace(),
                             length = 6 + std::uintmax_t{c.side} * c.side * c.count;
        const auto blocksHeld = [&](const std::string &output) {
            struct stat volume = {};
            EXPECT_EQ(stat((small.path / output).c_str(), &volume), 0);
            return std::uintmax_t(volume.st_blocks) * 512;
        };

        RunOptions options =
            c.fakedFreeSpace ? withShim("SHIM_STATVFS=4096,4096,99999999") : RunOptions{};
        const std::function<void(pid_t)> action = [&](pid_t pid) {
            if (c.atSecondSlice == AtSecondSlice::fill) {
                std::ofstream filler(small.path / "filler", std::ios::binary);
                const std::string chunk(1 << 20, 'f');
                while (filler.write(chunk.data(), chunk.size())) {
                }
            } else {
                for (const std::string &output : outputNames("s"))
                    EXPECT_GE(blocksHeld(output), length) << output;
                kill(pid, SIGINT);
            }
        };
        // The fault shim stops the run as it is about to print the second slice's line; under Wine
        // the line is waited for and the run stopped from outside.
        if (c.atSecondSlice != AtSecondSlice::nothing && shim) {
            options.preloadShim = true;
            options.env.push_back("SHIM_STOP_AT_PROGRESS=s001.tga");
            options.whenStopped = action;
        } else if (c.atSecondSlice != AtSecondSlice::nothing) {
            options.interruptAt = "adding file 's001.tga'";
            options.insteadOfInterrupt = [&](pid_t pid) {
                kill(pid, SIGSTOP);
                action(pid);
                kill(pid, SIGCONT);
            };
        }
        const RunResult run = runSlicevol(small.path, {"s"}, options);
        fs::remove(small.path / "filler");

        switch (c.outcome) {
        case Outcome::refused: expectRefused(run, refusalLine("s"), before, small.path); break;
        case Outcome::stopped:
            EXPECT_EQ(run.signal, SIGINT);
            expectUnchanged(before, small.path);
            break;
        case Outcome::failsMidway:
            expectFailedMidRun(run, stack, ENOSPC);
            expectUnchanged(before, small.path);
            // All of it, but for a block or two the directory may have grown by for the names.
            EXPECT_LE(freeBefore - freeSpace(), 8192u);
            break;
        case Outcome::converts:
            expectConverted(small.path, "s", c.side, c.side, stack, run);
            if (c.grey != 0) EXPECT_LT(freeBefore - freeSpace(), 3 * length / 10);
            else
                for (const std::string &output : outputNames("s"))
                    EXPECT_LE(blocksHeld(output), (length + 4095) / 4096 * 4096) << output;
            break;
        }
    }
    skipIfEveryRowSkipped(std::size(cases));
}

} // namespace

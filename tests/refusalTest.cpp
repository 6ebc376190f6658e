// Refusals and failed reads: bad slice sizes, short slices and output names that already exist.
// After each, the directory must hold exactly what it held before.
#include "harness.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const std::string refused = refusalLine("s");

struct FirstSliceCase {
    const char *what;
    std::string slice; // the whole first slice file
    std::string err;
};

TEST(Refusals, FirstSliceSizes) {
    const FirstSliceCase cases[] = {
        {"width 0", tga(0, 1, ""), refused},
        {"height 0", tga(1, 0, ""), refused},
        {"width 4097", tga(4097, 1, randomPixels(4097, 1, 1)), refused},
        {"height 4097", tga(1, 4097, randomPixels(1, 4097, 1)), refused},
        {"too short for the width", tga(2, 2, "").substr(0, 13), errorLine(ENODATA)},
        {"too short for the height", tga(2, 2, "").substr(0, 15), errorLine(ENODATA)},
        {"width refused before the missing height", tga(0, 2, "").substr(0, 14), refused},
        {"no pixels at all", tga(2, 2, ""), errorLine(ENODATA)},
    };
    for (const FirstSliceCase &c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        writeFile(dir.path / "s0.tga", c.slice);
        const Snapshot before = snapshot(dir.path);
        // Only a slice that got as far as its pixels has a progress line.
        expectFailed(runSlicevol(dir.path, {"s"}),
                     c.err == refused || c.slice.size() < 18 ? "" : progressLines({"s0.tga"}),
                     c.err, before, dir.path);
    }
}

struct FailedCallCase {
    const char *shim;      // the fault shim's settings, NAME=value, separated by spaces
    int error;             // the error the run ends with
    const char *type = ""; // a file system to mount for the run (ext4 reserves room), or none
    const char *left = ""; // a volume that cannot be deleted again, named and left empty
};

// A call the run makes before any output exists fails (through the fault shim): the file system
// cannot be asked for its free space, or a directory read fails after two entries of each pass,
// which must not be taken for the end of the directory (the slices after it would be dropped), or
// the red volume's header cannot be written (the disk is full), which must not leave a volume
// without one. On ext4 the green volume's room cannot be reserved nor given back: the volumes made
// are deleted, and one that cannot be is named like every volume left behind.
TEST(Refusals, FailedCallsBeforeAnyOutput) {
    SKIP_WITHOUT_FAULT_SHIM();
    const FailedCallCase cases[] = {
        {"SHIM_STATVFS=fail", EIO},
        {"SHIM_READDIR_FAIL=2", EIO},
        {"SHIM_WRITE_FAIL=/s_r.df3:1", ENOSPC},
        {"SHIM_FAILING=/s_g.df3:fallocate,ftruncate", EIO, "ext4"},
        {"SHIM_FAILING=/s_g.df3:fallocate,ftruncate,unlink", EIO, "ext4", "s_g.df3"},
    };
    for (const FailedCallCase &c : cases) {
        SCOPED_TRACE(c.shim);
        ScratchDir scratch;
        std::optional<MountedFs> mounted;
        if (*c.type != '\0') {
            mounted.emplace(c.type, 64);
            if (!mounted->why.empty()) {
                skipRow(std::string(c.shim) + ": " + mounted->why);
                continue;
            }
        }
        const fs::path dir = mounted ? mounted->path : scratch.path;
        makeStack(dir, "s", 4, 4, 5);
        Snapshot expected = snapshot(dir);
        const RunResult run = runSlicevol(dir, {"s"}, withShim(c.shim));
        std::string err = errorLine(c.error);
        if (*c.left != '\0') {
            err += "slicevol: cannot delete unfinished volume '" + std::string(c.left) +
                   "': " + std::strerror(EACCES) + "\n";
            expected[c.left] = "file:";
        }
        expectRefused(run, err, expected, dir);
    }
}

struct ExistingCase {
    const char *what;
    std::string name; // the output name that exists
    std::function<void(const fs::path &)> make;
    std::string err = refused;
    fs::perms folder = fs::perms::all; // the slices' folder's permissions during the run
};

// An output name that exists in any form is refused and left exactly as it was; the outputs made
// before it are deleted and the ones after it never appear. In a folder the user may not write in,
// the red volume cannot be made: the system's error, and nothing left.
TEST(Refusals, ExistingOutputNames) {
    const auto file = [](const fs::path &p) { writeFile(p, "precious volume"); };
    const ExistingCase cases[] = {
        {"readable red volume", "s_r.df3", file},
        {"readable green volume", "s_g.df3", file},
        {"blue volume nobody may read", "s_b.df3",
         [&](const fs::path &p) {
             file(p);
             fs::permissions(p, fs::perms::none);
         }},
        {"directory", "s_g.df3", [](const fs::path &p) { fs::create_directory(p); }},
        {"dangling link", "s_b.df3",
         [](const fs::path &p) { fs::create_symlink("nowhere.df3", p); }},
        {"link to a file elsewhere", "s_r.df3",
         [](const fs::path &p) { fs::create_symlink("s000.tga", p); }},
        {"a folder the user may not write in", "", nullptr, errorLine(EACCES), fs::perms{0555}},
    };
    for (const ExistingCase &c : cases) {
        SCOPED_TRACE(c.what);
        if (testingWindows() && std::string(c.what).find("link") != std::string::npos) {
            skipRow(std::string(c.what) + ": symbolic links are made here with POSIX calls");
            continue;
        }
        ScratchDir dir;
        makeStack(dir.path, "s", 8, 8, 2);
        if (testingWindows() && c.folder != fs::perms::all) {
            skipRow(std::string(c.what) +
                    ": slicevol.exe is not run as another user, and root may write anywhere");
            continue;
        }
        if (c.make) c.make(dir.path / c.name);
        const Snapshot before = snapshot(dir.path);
        // As root every file is readable and every folder writable: run as nobody.
        fs::permissions(dir.path, c.folder);
        RunOptions options;
        options.unprivileged = !testingWindows();
        const RunResult run = runSlicevol(dir.path, {"s"}, options);
        fs::permissions(dir.path, fs::perms::all);
        expectRefused(run, c.err, before, dir.path);
    }
}

} // namespace

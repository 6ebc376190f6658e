// Runs the real slicevol in a scratch directory and captures everything a user would see.
#pragma once

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <sys/types.h>

namespace fs = std::filesystem;

// A fresh directory under the system's temporary folder, removed with everything in it.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    fs::path path;
};

// True when the program under test is slicevol.exe, started through Wine (SLICEVOL_LAUNCHER).
bool testingWindows();

// Skips a test, or a row, that needs what only POSIX has (signals, file-size limits, runs as
// nobody, symbolic links, FIFOs) when slicevol.exe is under test.
#define SKIP_ON_WINDOWS(why)                                                                       \
    if (testingWindows()) GTEST_SKIP() << "skipped: for slicevol.exe under Wine: " why

// Skips a test that needs the fault shim where it is not built (it wraps glibc's calls), or where
// the program under test is slicevol.exe.
#define SKIP_WITHOUT_FAULT_SHIM()                                                                  \
    SKIP_ON_WINDOWS("the fault shim wraps glibc's calls");                                         \
    if (std::string(FAULT_SHIM).empty())                                                           \
    GTEST_SKIP() << "skipped: the fault shim is built with glibc only"

// Skips one row of a table and says why: a line "skipped: <test>: <why>" in the test's output,
// which make test lists after ctest's summary. The caller goes on to the next row itself.
void skipRow(const std::string &why);

// Reports the test as skipped when every one of its `rows` rows was (a table none of whose rows
// could run here has tested nothing).
void skipIfEveryRowSkipped(std::size_t rows);

// The path Wine shows for a path of this machine (Z:\\...).
std::string windowsPath(const fs::path &path);

// The program word the run's messages name: "slicevol", or, for slicevol.exe under Wine, the
// Windows path Wine starts it by.
std::string programWord();

struct RunOptions {
    std::vector<std::string> env;       // NAME=value pairs added to the environment
    bool preloadShim = false;           // preload the fault shim (see faultShim.c)
    long long fileSizeLimit = -1;       // RLIMIT_FSIZE for the run, if not negative
    std::vector<int> ignoredSignals;    // signals set to SIG_IGN before slicevol starts
    std::vector<int> blockedSignals;    // signals blocked when slicevol starts
    bool stdoutToClosedPipe = false;    // standard output is a pipe nobody reads
    bool removeDirFirst = false;        // the working directory is deleted before the start
    std::vector<int> closedDescriptors; // of 0, 1 and 2: closed when slicevol starts (on
                                        // Windows: started with no such handle)
    bool unprivileged = false;          // run as nobody when the tests run as root, so
                                        // that file permissions really apply (a copy of
                                        // slicevol and the shim where nobody can reach them)
    // The whole argument vector, program word included.
    std::optional<std::vector<std::string>> argv;
    std::function<void(pid_t)> whenStopped; // called when the run stops itself (then continued)
    std::string interruptAt;                // SIGINT once standard output holds this text,
    std::function<void(pid_t)> insteadOfInterrupt; // or this called then instead
};

// Options that preload the fault shim with the given SHIM_...=value settings, separated by spaces.
RunOptions withShim(const std::string &settings);

// What the run left. Under Wine every line must end in CR LF (the console's text mode); the CRs
// are checked and then taken out, so that expectations are written once.
struct RunResult {
    int status = -1; // exit status (its low byte on Windows), or -1 when a signal ended the run
    int signal = 0;  // the ending signal, or 0
    std::string out, err;
};

// A program of the tests cross-built for Windows beside slicevol.exe (tests/windows/).
fs::path windowsHelper(const std::string &name);

// Starts a program of the tests for Windows (windowsHelper) under Wine in dir, with no standard
// stream of the test's, and answers its process; waitFor then answers its exit status.
pid_t startUnderWine(const fs::path &dir, const std::vector<std::string> &argv);
int waitFor(pid_t pid);

// A small file system mounted for one test: a tmpfs, or an image of another type (ext4, xfs,
// btrfs) on a loop device, with the given mount options. Where it cannot be made (not root, no
// mkfs of that type, no mount) `why` says why, for the test to skip with.
struct MountedFs {
    MountedFs(const std::string &type, unsigned mebibytes, const std::string &options = "");
    ~MountedFs();
    MountedFs(const MountedFs &) = delete;
    MountedFs &operator=(const MountedFs &) = delete;
    ScratchDir place;
    fs::path path; // the mounted file system's root
    std::string why;
};

// Runs slicevol with argv[0] "slicevol" and the given arguments in dir.
RunResult runSlicevol(const fs::path &dir, const std::vector<std::string> &args,
                      const RunOptions &options = {});

// The thread of a running process started last: slicevol's helper, also where a sanitizer runs a
// thread of its own from the start.
pid_t newestThread(pid_t pid);

// Every entry of dir: regular files by content, links by target, directories and FIFOs by kind.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const fs::path &dir);

std::string readFile(const fs::path &file);
void writeFile(const fs::path &file, const std::string &bytes);

// An uncompressed 24-bit TGA file: 18-byte header, then the pixel bytes as given (blue, green,
// red).
std::string tga(unsigned width, unsigned height, const std::string &pixels,
                unsigned char descriptor = 0, const std::string &imageId = "");
// A slice of width x height pixels of reproducible random bytes.
std::string randomPixels(unsigned width, unsigned height, unsigned seed);

// The model of a channel volume: header, then for each slice its first w x h pixels' component.
std::string modelVolume(unsigned width, unsigned height, const std::vector<std::string> &slices,
                        int channel);

// The progress lines slicevol prints for these slices, in this order.
std::string progressLines(const std::vector<std::string> &names);

// The three output names for a basename.
std::vector<std::string> outputNames(const std::string &base);

// The lines a user sees: the system-error line for an error number; the refusal of a basename
// (bad first slice, no room, an output that exists); no slice matching a basename; a header warning
// for a slice, with what its header has and the size every slice is read as.
std::string errorLine(int error);
std::string refusalLine(const std::string &base);
std::string noMatchLine(const std::string &base);
std::string warningLine(const std::string &slice, const std::string &has, unsigned width,
                        unsigned height);

// Runs a shell command in dir (for the other tools the tests use); answers its system() status.
int shellIn(const fs::path &dir, const std::string &command);

// <base>000.tga, <base>001.tga, ..., <base>1000.tga, for a basename of any length.
std::string sliceName(const std::string &base, unsigned i);

// A stack of random slices <base>000.tga ... in dir; answers each slice's pixel bytes.
struct Stack {
    std::vector<std::string> names, pixels;
};
Stack makeStack(const fs::path &dir, const std::string &base, unsigned width, unsigned height,
                unsigned count, unsigned seed = 1);

// The same stack made in `store` (of random pixels, or all of one `grey` byte), and in dir only
// symbolic links to its slices: a small file system in dir then holds nothing but what the run
// writes.
Stack symlinkStack(const fs::path &store, const fs::path &dir, const std::string &base,
                   unsigned width, unsigned height, unsigned count, char grey = 0);

// Expects a run that failed midway with `error`: status 1, the progress lines of the first slices
// of the stack up to where it failed (at least one, not all), and the error line.
void expectFailedMidRun(const RunResult &run, const Stack &stack, int error);

// Expects the run to have ended with status 0, the progress lines of the stack, nothing (or the
// given warnings) on the standard error stream, and the three volumes equal to the model.
void expectConverted(const fs::path &dir, const std::string &base, unsigned width, unsigned height,
                     const Stack &stack, const RunResult &run, const std::string &warnings = "");

// Expects the directory to hold exactly what it held before.
void expectUnchanged(const Snapshot &before, const fs::path &dir);

// Expects a run that failed: status 1, exactly `out` and `err` on its standard streams, and the
// directory as it was before.
void expectFailed(const RunResult &run, const std::string &out, const std::string &err,
                  const Snapshot &before, const fs::path &dir);

// Expects a run refused or failed before its first slice: status 1, nothing on standard output,
// exactly `err` on standard error, and the directory as it was before.
void expectRefused(const RunResult &run, const std::string &err, const Snapshot &before,
                   const fs::path &dir);

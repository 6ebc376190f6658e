// Clean-up: whatever ends a run (a failed write, a failed close, a signal), no volume that the run
// created is left behind, finished volumes stay, and every other file is byte for byte as before.
#include "harness.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// 64 slices of 1024 x 256, two blocks each: enough blocks for the helper to start. Made once; each
// case gets hard links to it (slicevol never writes a slice).
const Stack &linkHelperStack(const fs::path &into) {
    static ScratchDir base;
    static const Stack stack = makeStack(base.path, "s", 1024, 256, 64);
    for (const std::string &name : stack.names) fs::create_hard_link(base.path / name, into / name);
    return stack;
}

struct MidRunCase {
    const char *what;
    std::size_t shortAt;     // s001.tga ends after this many pixels (0: it is whole)
    long long fileSizeLimit; // bytes, or -1
    int error;               // the error that decides the message
    std::size_t progress;    // progress lines printed
};

// Failures in a block of the main thread (even blocks) and of the helper (odd blocks), on slices of
// two blocks: each ends the run like a single thread would. Where two blocks fail, the earlier one
// in the stack decides, even when the later one fails first. A file-size limit is met twice: with
// SIGXFSZ ignored or blocked by the caller (the write fails) and at its default (the signal ends
// the run).
TEST(CleanUp, FailuresMidRun) {
    enum Xfsz { ignored, blocked, byDefault };
    const char *const xfszNames[] = {"ignored", "blocked", "at its default"};
    constexpr std::size_t block = 1 << 17, volume0 = 6 + 2 * block; // header and first slice
    const MidRunCase cases[] = {
        {"short in the main thread's block", 100, -1, ENODATA, 2},
        {"short in the helper's block", block + 100, -1, ENODATA, 2},
        {"file-size limit in the main thread's block", 0, volume0 + 1000, EFBIG, 2},
        {"file-size limit in the helper's block", 0, volume0 + block + 1000, EFBIG, 2},
        {"short helper block read before an earlier write fails", block + 100, volume0 + 1000,
         EFBIG, 2},
        {"file-size limit in the first block", 0, 1000, EFBIG, 1},
        // The next slice's progress line waits for this block's writes, and is never printed.
        {"file-size limit in the helper's block of the first slice", 0, 6 + block + 1000, EFBIG, 1},
    };
    for (const MidRunCase &c : cases) {
        for (const Xfsz xfsz : {ignored, blocked, byDefault}) {
            if (xfsz != ignored && c.error != EFBIG) continue;
            SCOPED_TRACE(::testing::Message() << c.what << ", SIGXFSZ "
                                              << xfszNames[xfsz]);
            ScratchDir dir;
            const Stack &stack = linkHelperStack(dir.path);
            if (c.shortAt > 0) {
                fs::remove(dir.path / "s001.tga");
                writeFile(dir.path / "s001.tga", tga(1024, 256, stack.pixels[1].substr(0, 3 * c.shortAt)));
            }
            const Snapshot before = snapshot(dir.path);
            RunOptions options;
            options.fileSizeLimit = c.fileSizeLimit;
            if (xfsz == ignored) options.ignoredSignals = {SIGXFSZ};
            if (xfsz == blocked) options.blockedSignals = {SIGXFSZ};
            const RunResult run = runSlicevol(dir.path, {"s"}, options);
            if (xfsz != byDefault) {
                EXPECT_EQ(run.status, 1);
                EXPECT_EQ(run.err, errorLine(c.error));
                EXPECT_EQ(run.out, progressLines({stack.names.begin(), stack.names.begin() + c.progress}));
            } else {
                EXPECT_EQ(run.signal, SIGXFSZ);
            }
            expectUnchanged(before, dir.path);
        }
    }
}

// The run stops itself as it opens its second slice, after its first progress line, with all
// three volumes part-written and the helper started; the test checks that and sends the signal,
// to the process or to the helper thread alone.
TEST(CleanUp, SignalsDuringTheConversion) {
    SKIP_WITHOUT_FAULT_SHIM();
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXCPU})
    for (const bool toHelper : {false, true}) {
        SCOPED_TRACE(::testing::Message() << strsignal(sig) << (toHelper ? " to the helper" : ""));
        ScratchDir dir;
        linkHelperStack(dir.path);
        const Snapshot before = snapshot(dir.path);
        RunOptions options = withShim("SHIM_STOP_AT_OPEN=s001.tga");
        bool sent = false;
        options.whenStopped = [&](pid_t pid) {
            for (const std::string &output : outputNames("s"))
                EXPECT_TRUE(fs::exists(dir.path / output)) << output << " missing when stopped";
            const pid_t helper = newestThread(pid);
            ASSERT_NE(helper, pid) << "the helper has not started";
            sent = (toHelper ? syscall(SYS_tgkill, pid, helper, sig) : kill(pid, sig)) == 0;
        };
        const RunResult run = runSlicevol(dir.path, {"s"}, options);
        EXPECT_TRUE(sent);
        EXPECT_EQ(run.signal, sig);
        expectUnchanged(before, dir.path);
    }
}

// A slice's progress line comes only once every earlier block is in all three volumes, even when
// the writes lag far behind the reads: the run stops itself as it is about to print the second
// slice's line, and each volume must then hold exactly the first slice.
TEST(CleanUp, ProgressWaitsForTheWritesBeforeIt) {
    SKIP_WITHOUT_FAULT_SHIM();
#ifdef SLICEVOL_BLOCK_PIXELS
    GTEST_SKIP() << "skipped: with tiny blocks a slice takes thousands of slowed writes";
#endif
    ScratchDir dir;
    linkHelperStack(dir.path);
    const Snapshot before = snapshot(dir.path);
    RunOptions options = withShim("SHIM_STOP_AT_PROGRESS=s001.tga");
    options.env.push_back("SHIM_SLOW_WRITES=20000");
    options.whenStopped = [&](pid_t pid) {
        for (const std::string &output : outputNames("s"))
            EXPECT_EQ(fs::file_size(dir.path / output), 6u + 1024 * 256) << output;
        kill(pid, SIGTERM);
    };
    EXPECT_EQ(runSlicevol(dir.path, {"s"}, options).signal, SIGTERM);
    expectUnchanged(before, dir.path);
}

// Started with standard descriptors closed, slicevol must not let a volume take their numbers:
// more than a stream buffer of progress would otherwise end up inside the red or green volume.
TEST(CleanUp, ClosedStandardDescriptors) {
    for (const std::vector<int> &closed : {std::vector<int>{1}, std::vector<int>{0, 1, 2}}) {
        SCOPED_TRACE(::testing::Message() << closed.size() << " closed");
        ScratchDir dir;
        const Stack stack = makeStack(dir.path, "a_rather_long_slice_name_", 2, 2, 300);
        RunOptions options;
        options.closedDescriptors = closed;
        const RunResult run = runSlicevol(dir.path, {"a_rather_long_slice_name_"}, options);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out + run.err, "");
        for (int c = 0; c < 3; c++)
            EXPECT_TRUE(readFile(dir.path / outputNames("a_rather_long_slice_name_")[c]) ==
                        modelVolume(2, 2, stack.pixels, c));
    }
}

// A signal ignored (nohup, trap '' TERM) or blocked by whoever started slicevol stays so.
TEST(CleanUp, SignalIgnoredOrBlockedAtStartStaysSo) {
    SKIP_WITHOUT_FAULT_SHIM();
    for (const bool blocked : {false, true}) {
        SCOPED_TRACE(blocked ? "blocked" : "ignored");
        ScratchDir dir;
        const Stack stack = makeStack(dir.path, "s", 16, 16, 3);
        RunOptions options = withShim("SHIM_STOP_AT_OPEN=s001.tga");
        (blocked ? options.blockedSignals : options.ignoredSignals) = {SIGTERM};
        options.whenStopped = [](pid_t pid) { kill(pid, SIGTERM); };
        expectConverted(dir.path, "s", 16, 16, stack, runSlicevol(dir.path, {"s"}, options));
    }
}

// While the run is stopped at its second slice, something changes under it; then a signal or an
// error (a later slice cut short) ends it. Clean-up deletes by name, so it must spare a file
// renamed over an output (or a second run's finished volume); an output it cannot delete (the
// folder made unwritable) it names on standard error, with the reason, and leaves.
TEST(CleanUp, OutputsChangedWhileTheRunIsStopped) {
    SKIP_WITHOUT_FAULT_SHIM();
    for (const bool renamedOver : {true, false})
    for (const bool bySignal : {true, false}) {
        SCOPED_TRACE(::testing::Message() << (renamedOver ? "renamed over" : "undeletable") << ", "
                                          << (bySignal ? "SIGTERM" : "a short slice"));
        ScratchDir dir;
        makeStack(dir.path, "s", 16, 16, 3);
        if (!bySignal) writeFile(dir.path / "s002.tga", tga(16, 16, "short"));
        fs::permissions(dir.path, fs::perms::all);
        Snapshot expected = snapshot(dir.path);
        RunOptions options = withShim("SHIM_STOP_AT_OPEN=s001.tga");
        options.unprivileged = true; // as root, the folder's permissions would not apply
        options.whenStopped = [&](pid_t pid) {
            if (renamedOver) {
                writeFile(dir.path / "other", "someone else's volume");
                fs::rename(dir.path / "other", dir.path / "s_g.df3");
            } else {
                fs::permissions(dir.path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                fs::perm_options::remove);
            }
            if (bySignal) kill(pid, SIGTERM);
        };
        const RunResult run = runSlicevol(dir.path, {"s"}, options);
        fs::permissions(dir.path, fs::perms::all);
        if (bySignal) EXPECT_EQ(run.signal, SIGTERM);
        else EXPECT_EQ(run.status, 1);
        std::string err = bySignal ? "" : errorLine(ENODATA);
        if (renamedOver) expected["s_g.df3"] = "file:someone else's volume";
        else for (const std::string &output : outputNames("s")) {
            err += "slicevol: cannot delete unfinished volume '" + output + "': " + std::strerror(EACCES) + "\n";
            expected[output] = snapshot(dir.path).at(output); // part-written, left behind
        }
        EXPECT_EQ(run.err, err);
        expectUnchanged(expected, dir.path);
    }
}

// The progress goes into a pipe whose reader has already gone. Each line leaves as its slice
// starts, so even a short stack (far less than a stream buffer of progress) notices at once.
TEST(CleanUp, ProgressIntoAClosedPipe) {
    ScratchDir dir;
    makeStack(dir.path, "s", 1, 1, 3);
    const Snapshot before = snapshot(dir.path);
    RunOptions options;
    options.stdoutToClosedPipe = true;
    const RunResult run = runSlicevol(dir.path, {"s"}, options);
    EXPECT_EQ(run.signal, SIGPIPE);
    expectUnchanged(before, dir.path);
}

// The final close of the green volume fails: the error line, green deleted, red and blue finished.
TEST(CleanUp, FailedFinalClose) {
    SKIP_WITHOUT_FAULT_SHIM();
    ScratchDir dir;
    const Stack stack = makeStack(dir.path, "s", 32, 32, 3);
    Snapshot expected = snapshot(dir.path);
    RunOptions options = withShim("SHIM_FCLOSE_FAIL=/s_g.df3");
    const RunResult run = runSlicevol(dir.path, {"s"}, options);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, progressLines(stack.names));
    EXPECT_EQ(run.err, errorLine(ENOSPC));
    expected["s_r.df3"] = "file:" + modelVolume(32, 32, stack.pixels, 0);
    expected["s_b.df3"] = "file:" + modelVolume(32, 32, stack.pixels, 2);
    expectUnchanged(expected, dir.path);
}

} // namespace

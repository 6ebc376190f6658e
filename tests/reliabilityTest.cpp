// Clean-up: whatever ends a run (a failed write, a failed close, a signal), no volume that the run
// created is left behind, finished volumes stay, and every other file is byte for byte as before.
#include "harness.h"

#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// 4 slices of 512 x 512: each volume is 1 MiB, so a 256 KiB file-size limit stops the first write.
constexpr unsigned side = 512;

TEST(CleanUp, FileSizeLimit) {
    for (const bool ignored : {true, false}) {
        SCOPED_TRACE(ignored ? "SIGXFSZ ignored" : "SIGXFSZ at its default");
        ScratchDir dir;
        makeStack(dir.path, "s", side, side, 4);
        const Snapshot before = snapshot(dir.path);
        RunOptions options;
        options.fileSizeLimit = 256 * 1024;
        if (ignored) options.ignoredSignals = {SIGXFSZ};
        const RunResult run = runSlicevol(dir.path, {"s"}, options);
        if (ignored) {
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, errorLine(EFBIG));
        } else {
            EXPECT_EQ(run.signal, SIGXFSZ);
        }
        expectUnchanged(before, dir.path);
    }
}

// The run stops itself as it opens its second slice, after its first progress line and with all
// three volumes part-written; the test checks that and sends the signal.
TEST(CleanUp, SignalsDuringTheConversion) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXCPU}) {
        SCOPED_TRACE(strsignal(sig));
        ScratchDir dir;
        makeStack(dir.path, "s", side, side, 4);
        const Snapshot before = snapshot(dir.path);
        RunOptions options;
        options.preloadShim = true;
        options.env = {"SHIM_STOP_AT_OPEN=s001.tga"};
        bool sent = false;
        options.whenStopped = [&](pid_t pid) {
            for (const std::string &output : outputNames("s"))
                EXPECT_TRUE(fs::exists(dir.path / output)) << output << " missing when stopped";
            sent = kill(pid, sig) == 0;
        };
        const RunResult run = runSlicevol(dir.path, {"s"}, options);
        EXPECT_TRUE(sent);
        EXPECT_EQ(run.signal, sig);
        expectUnchanged(before, dir.path);
    }
}

// Clean-up deletes by name, so it must spare a file that took an unfinished output's name while
// the run was stopped (a rename over it, or a second run's finished volume): by a signal, and by
// an error (a later slice cut short).
TEST(CleanUp, SparesAFilePutInPlaceOfAnOutput) {
    for (const bool bySignal : {true, false}) {
        SCOPED_TRACE(bySignal ? "SIGTERM" : "a short slice");
        ScratchDir dir;
        makeStack(dir.path, "s", side, side, 3);
        if (!bySignal) writeFile(dir.path / "s002.tga", tga(side, side, "short"));
        Snapshot expected = snapshot(dir.path);
        expected["s_g.df3"] = "file:someone else's volume";
        RunOptions options;
        options.preloadShim = true;
        options.env = {"SHIM_STOP_AT_OPEN=s001.tga"};
        options.whenStopped = [&](pid_t pid) {
            writeFile(dir.path / "other", "someone else's volume");
            fs::rename(dir.path / "other", dir.path / "s_g.df3");
            if (bySignal) kill(pid, SIGTERM);
        };
        const RunResult run = runSlicevol(dir.path, {"s"}, options);
        if (bySignal) EXPECT_EQ(run.signal, SIGTERM);
        else EXPECT_EQ(run.err, errorLine(ENODATA));
        expectUnchanged(expected, dir.path);
    }
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

// A signal ignored by whoever started slicevol (nohup, trap '' TERM) stays ignored.
TEST(CleanUp, SignalIgnoredAtStartStaysIgnored) {
    ScratchDir dir;
    const Stack stack = makeStack(dir.path, "s", 16, 16, 3);
    RunOptions options;
    options.preloadShim = true;
    options.env = {"SHIM_STOP_AT_OPEN=s001.tga"};
    options.ignoredSignals = {SIGTERM};
    options.whenStopped = [](pid_t pid) { kill(pid, SIGTERM); };
    expectConverted(dir.path, "s", 16, 16, stack, runSlicevol(dir.path, {"s"}, options));
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
    ScratchDir dir;
    const Stack stack = makeStack(dir.path, "s", 32, 32, 3);
    Snapshot expected = snapshot(dir.path);
    RunOptions options;
    options.preloadShim = true;
    options.env = {"SHIM_FCLOSE_FAIL=/s_g.df3"};
    const RunResult run = runSlicevol(dir.path, {"s"}, options);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, progressLines(stack.names));
    EXPECT_EQ(run.err, errorLine(ENOSPC));
    expected["s_r.df3"] = "file:" + modelVolume(32, 32, stack.pixels, 0);
    expected["s_b.df3"] = "file:" + modelVolume(32, 32, stack.pixels, 2);
    expectUnchanged(expected, dir.path);
}

} // namespace

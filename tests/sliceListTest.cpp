// Finding and ordering slices: which entries are slices, in which order, how many at most, and
// what happens when the directory cannot be read or changes while it is read.
#include "harness.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <utility>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct MatchCase {
    const char *what;
    std::vector<std::string> files;
    std::string base;
    std::vector<std::string> slices; // expected, in z order
};

// Each file is a valid one-pixel slice of its own colour, so the order shows in the volumes too.
TEST(SliceList, MatchesAndOrder) {
    const std::string e = "\xc3\xa9"; // e with an acute accent, in UTF-8
    const MatchCase cases[] = {
        {"the last dot decides",
         {"a.b.tga", "a.tga.bak", "a.TGA", "a", "a.tgax", "a.tga"},
         "a",
         {"a.b.tga", "a.tga"}},
        {"the basename is a plain prefix",
         {"s1.tga", "s.tga", "slice.tga", "t.tga", "xs.tga"},
         "s",
         {"s.tga", "s1.tga", "slice.tga"}},
        {"byte-wise order",
         {"s2.tga", "s10.tga", "sa.tga", "sB.tga", "s\xc3\xa9.tga", "sz.tga"},
         "s",
         {"s10.tga", "s2.tga", "sB.tga", "sa.tga", "sz.tga", "s\xc3\xa9.tga"}},
        {"the empty basename matches every slice",
         {"x.tga", "y.tga", "z.png", ".tga"},
         "",
         {".tga", "x.tga", "y.tga"}},
        {"a basename in UTF-8",
         {e + "1.tga", "e1.tga", e + "0.tga"},
         e,
         {e + "0.tga", e + "1.tga"}},
    };
    for (const MatchCase &c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        Stack stack;
        for (std::size_t i = 0; i < c.files.size(); i++)
            writeFile(dir.path / c.files[i], tga(1, 1, randomPixels(1, 1, unsigned(i))));
        for (const std::string &name : c.slices) {
            stack.names.push_back(name);
            stack.pixels.push_back(readFile(dir.path / name).substr(18));
        }
        const Snapshot before = snapshot(dir.path);
        const RunResult run = runSlicevol(dir.path, {c.base});
        expectConverted(dir.path, c.base, 1, 1, stack, run);
        for (const std::string &output : outputNames(c.base)) fs::remove(dir.path / output);
        expectUnchanged(before, dir.path);
    }
}

// Every kind of entry counts: a directory or a FIFO named like a slice is taken as one and fails
// at once (a FIFO with no writer must not hang the run); nothing is left behind.
TEST(SliceList, SpecialFilesNamedLikeASlice) {
    const std::pair<const char *, int> cases[] = {{"directory", EISDIR}, {"fifo", ESPIPE}};
    for (const auto &[kind, error] : cases) {
        SCOPED_TRACE(kind);
        if (testingWindows() && error == ESPIPE) {
            skipRow(std::string(kind) + ": FIFOs are POSIX's");
            continue;
        }
        ScratchDir dir;
        makeStack(dir.path, "s", 2, 2, 1);
        if (error == EISDIR) fs::create_directory(dir.path / "s001.tga");
        else ASSERT_EQ(mkfifo((dir.path / "s001.tga").c_str(), 0666), 0);
        const Snapshot before = snapshot(dir.path);
        expectFailed(runSlicevol(dir.path, {"s"}),
                     progressLines(error == EISDIR
                                       ? std::vector<std::string>{"s000.tga", "s001.tga"}
                                       : std::vector<std::string>{"s000.tga"}),
                     errorLine(error), before, dir.path);
    }
}

// The z size is a 16-bit field: 65535 slices are the most. Hard links make them cheap (a file
// system allows some tens of thousands of links to one file, so every 50000th slice is a copy).
// One folder for both runs: 65535 slices convert, then with one slice more nothing does.
TEST(SliceList, AtMost65535Slices) {
    ScratchDir dir;
    const std::string pixel = randomPixels(1, 1, 7);
    Stack stack;
    fs::path copy;
    const auto add = [&](unsigned i) {
        char name[32];
        std::snprintf(name, sizeof name, "s%05u.tga", i);
        if (i % 50000 == 0) writeFile(copy = dir.path / name, tga(1, 1, pixel));
        else fs::create_hard_link(copy, dir.path / name);
        stack.names.push_back(name);
        stack.pixels.push_back(pixel);
    };
    for (unsigned i = 0; i < 65535; i++) add(i);
    expectConverted(dir.path, "s", 1, 1, stack, runSlicevol(dir.path, {"s"}));
    EXPECT_EQ(readFile(dir.path / "s_r.df3").substr(0, 6), std::string("\0\1\0\1\xff\xff", 6));
    for (const std::string &output : outputNames("s")) fs::remove(dir.path / output);
    add(65535);
    const Snapshot before = snapshot(dir.path);
    expectRefused(runSlicevol(dir.path, {"s"}), noMatchLine("s"), before, dir.path);
}

// Another process adds or removes a slice between the counting pass and the collecting pass.
TEST(SliceList, DirectoryChangingBetweenPassesStopsTheRun) {
    SKIP_WITHOUT_FAULT_SHIM();
    for (const std::string change : {"+s009.tga", "-s001.tga"}) {
        SCOPED_TRACE(change);
        ScratchDir dir;
        makeStack(dir.path, "s", 2, 2, 3);
        Snapshot expected = snapshot(dir.path);
        if (change[0] == '+') expected[change.substr(1)] = "file:";
        else expected.erase(change.substr(1));
        RunOptions options = withShim("SHIM_REWINDDIR=" + change);
        const RunResult run = runSlicevol(dir.path, {"s"}, options);
        expectRefused(run,
                      "slicevol: mkTodos: check 'ntodo == n' failed: the directory changed while "
                      "it was read\n",
                      expected, dir.path);
    }
}

// The working directory's path must be known to read it: too long for 1024 bytes, or removed.
TEST(SliceList, WorkingDirectoryThatCannotBeNamed) {
    SKIP_ON_WINDOWS(
        "Wine cannot start a program in a folder that is removed or deeper than 260 characters");
    ScratchDir scratch;
    fs::path deep = scratch.path;
    while (deep.string().size() <= 1100) deep /= std::string(100, 'd');
    fs::create_directories(deep);
    makeStack(deep, "s", 1, 1, 1);
    const Snapshot before = snapshot(deep);
    RunResult run = runSlicevol(deep, {"s"});
    expectRefused(run, errorLine(ERANGE), before, deep);

    const fs::path gone = scratch.path / "gone";
    fs::create_directory(gone);
    RunOptions options;
    options.removeDirFirst = true;
    run = runSlicevol(gone, {"s"}, options);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, errorLine(ENOENT));
}

} // namespace

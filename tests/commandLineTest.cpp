// The command line: the usage line, the no-match line, and that neither touches a file.
#include "harness.h"

#include <gtest/gtest.h>

namespace {

struct CommandLineCase {
    const char *what;
    std::vector<std::string> argv; // the whole argument vector
    std::string err;
};

TEST(CommandLine, RefusalsPrintOneLineAndTouchNothing) {
    // Lines longer than the formatting buffer (1024 bytes) are printed whole all the same.
    const std::string longWord(1100, 'p'), longBase(1100, 'z');
    const CommandLineCase cases[] = {
        {"no argument", {"slicevol"}, "usage: " + programWord() + " basename\n"},
        {"two arguments", {"slicevol", "s", "t"}, "usage: " + programWord() + " basename\n"},
        {"program word as invoked", {"./bin/sv", "s", "t"}, "usage: ./bin/sv basename\n"},
        {"empty argument vector", {}, "usage: slicevol basename\n"},
        {"program word of 1100 bytes", {longWord}, "usage: " + longWord + " basename\n"},
        {"basename of 1100 bytes", {"slicevol", longBase}, noMatchLine(longBase)},
        {"a line of exactly 1024 bytes",
         {"slicevol", longBase.substr(0, 979)},
         noMatchLine(longBase.substr(0, 979))},
        {"no slice matches", {"slicevol", "zz"}, noMatchLine("zz")},
        {"basename with a directory part", {"slicevol", "./s"}, noMatchLine("./s")},
    };
    for (const CommandLineCase &c : cases) {
        SCOPED_TRACE(c.what);
        // Wine starts slicevol.exe by its own program word.
        if (testingWindows() && (c.argv.empty() || c.argv[0] != "slicevol")) {
            skipRow(std::string(c.what) + ": Wine starts slicevol.exe by its own path");
            continue;
        }
        ScratchDir dir;
        makeStack(dir.path, "s", 2, 2, 2);
        const Snapshot before = snapshot(dir.path);
        RunOptions options;
        options.argv = c.argv;
        const RunResult run = runSlicevol(dir.path, {}, options);
        expectRefused(run, c.err, before, dir.path);
    }
}

} // namespace

#include "harness.h"

#include <algorithm>
#include <gtest/gtest.h>

void expectConverted(const fs::path &dir, const std::string &base, unsigned width, unsigned height,
                     const Stack &stack, const RunResult &run, const std::string &warnings) {
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.err, warnings);
    EXPECT_EQ(run.out, progressLines(stack.names));
    const std::vector<std::string> outputs = outputNames(base);
    for (int c = 0; c < 3; c++) {
        ASSERT_TRUE(fs::is_regular_file(dir / outputs[c])) << outputs[c];
        EXPECT_TRUE(readFile(dir / outputs[c]) == modelVolume(width, height, stack.pixels, c))
            << outputs[c] << " differs from the model";
    }
}

void expectFailedMidRun(const RunResult &run, const Stack &stack, int error) {
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, errorLine(error));
    const auto lines = static_cast<long>(std::count(run.out.begin(), run.out.end(), '\n'));
    EXPECT_GT(lines, 0);
    EXPECT_LT(lines, static_cast<long>(stack.names.size()));
    EXPECT_EQ(run.out, progressLines({stack.names.begin(), stack.names.begin() + lines}));
}

void expectFailed(const RunResult &run, const std::string &out, const std::string &err,
                  const Snapshot &before, const fs::path &dir) {
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
    expectUnchanged(before, dir);
}

void expectRefused(const RunResult &run, const std::string &err, const Snapshot &before,
                   const fs::path &dir) {
    expectFailed(run, "", err, before, dir);
}

void expectUnchanged(const Snapshot &before, const fs::path &dir) {
    const Snapshot after = snapshot(dir);
    for (const auto &[name, content] : after)
        EXPECT_TRUE(before.count(name)) << name << " was left behind";
    for (const auto &[name, content] : before) {
        auto found = after.find(name);
        if (found == after.end()) ADD_FAILURE() << name << " was deleted";
        else EXPECT_TRUE(found->second == content) << name << " was changed";
    }
}

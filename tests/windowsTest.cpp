// What only slicevol.exe has: names in a Windows console, a double click, the version resource,
// and a slice dropped on the program. Run under Wine (make test-windows).
#include "harness.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

#define SKIP_UNLESS_WINDOWS()                                                                      \
    if (!testingWindows()) GTEST_SKIP() << "skipped: only slicevol.exe has it (make test-windows)"

// What a console showed, without its escape sequences and CRs (and LFs too, unless `lines`).
std::string consoleText(const std::string &shown, bool lines) {
    std::string text;
    for (std::size_t i = 0; i < shown.size(); i++) {
        if (shown[i] == '\x1b' && i + 1 < shown.size() && shown[i + 1] == '[') {
            for (i += 2; i < shown.size() && !std::isalpha(static_cast<unsigned char>(shown[i]));
                 i++) {
            }
        } else if (shown[i] != '\r' && (lines || shown[i] != '\n')) {
            text += shown[i];
        }
    }
    return text;
}

// Runs `commands` through cmd in a console under the code page: Wine makes a console of a terminal,
// which `script` gives it. Answers the text the console showed, with LF line ends.
std::string inConsole(const fs::path &dir, const std::string &codePage,
                      const std::string &commands) {
    const std::string line =
        std::string(SLICEVOL_LAUNCHER) + " cmd /c 'chcp " + codePage + " >nul & " + commands + "'";
    shellIn(dir, "WINEDEBUG=-all LC_ALL=C.UTF-8 timeout 60 script -qec \"" + line +
                     "\" /dev/null </dev/null >console.txt");
    const std::string shown = readFile(dir / "console.txt");
    fs::remove(dir / "console.txt");
    return consoleText(shown, true);
}

// Progress lines name every slice right in the console, under an old OEM code page and UTF-8 alike
// (redirected, the same bytes as on Linux: SliceList.MatchesAndOrder). A console named like a slice
// is not read as one.
TEST(Windows, TextInTheConsole) {
    SKIP_UNLESS_WINDOWS();
    const std::string exe = programWord();
    for (const std::string codePage : {"437", "65001"}) {
        SCOPED_TRACE(codePage);
        ScratchDir dir;
        for (const std::string base :
             {"caf\xc3\xa9", "w\xc3\xbcrfel", "\xe7\xab\x8b\xe6\x96\xb9"}) {
            const Stack stack = makeStack(dir.path, base, 2, 2, 1);
            EXPECT_EQ(inConsole(dir.path, codePage, exe + " " + base), progressLines(stack.names))
                << base;
        }
        writeFile(dir.path / "con.tga", tga(2, 2, randomPixels(2, 2, 1)));
        EXPECT_EQ(inConsole(dir.path, codePage, exe + " con"), exe + ": error Illegal seek\n");
    }
}

// slicevol.exe started in a console of its own, as Explorer starts it (Wine makes a console of the
// terminal that `script` gives it), with `args`: the test waits until the window says it waits for
// a key, checks that the program is still there, then presses one. Answers the exit status and what
// the window showed, without line ends (the console wraps long lines at its width).
std::pair<int, std::string> inOwnConsole(const fs::path &dir, const std::string &args) {
    const fs::path keys = dir / "keys", shown = dir / "console.txt";
    if (mkfifo(keys.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
    const std::string line = std::string(SLICEVOL_LAUNCHER) + " " + SLICEVOL_BIN + " " + args;
    const pid_t console = fork();
    if (console == 0) {
        execl("/bin/sh", "sh", "-c",
              ("cd \"$1\" && WINEDEBUG=-all LC_ALL=C.UTF-8 timeout 60 script -qec \"$2\" /dev/null "
               "<keys >console.txt"),
              "sh", dir.c_str(), line.c_str(), nullptr);
        _exit(127);
    }
    std::ofstream press(keys); // opened once the console reads from it
    std::string text;
    int status = 0;
    for (long polls = 0; polls < 600000;
         polls++) { // some 60 s: a window that never waits fails below
        text = fs::exists(shown) ? consoleText(readFile(shown), false) : "";
        if (text.find("Press a key to close this window.") != std::string::npos) break;
        if (waitpid(console, &status, WNOHANG) == console) {
            ADD_FAILURE() << "the window closed without waiting for a key: " << text;
            return {WEXITSTATUS(status), text};
        }
        usleep(100); // polling what the window shows, not timing the run
    }
    EXPECT_EQ(waitpid(console, &status, WNOHANG), 0) << "no longer waiting for a key";
    press << "x" << std::flush;
    press.close();
    waitpid(console, &status, 0);
    // The key shows where the terminal still echoed it, before Wine took the terminal over.
    text = consoleText(readFile(shown), false);
    if (text.size() > 0 && text.back() == 'x') text.pop_back();
    fs::remove(keys);
    fs::remove(shown);
    return {WEXITSTATUS(status), text};
}

// Double-clicked, slicevol.exe keeps its window after the usage line until a key is pressed, and
// says how it is used instead; run from cmd, or by a program that shares its console, it prints
// the usage line alone and ends at once.
TEST(Windows, DoubleClicked) {
    SKIP_UNLESS_WINDOWS();
    const std::string usage = "usage: " + programWord() + " basename\n";
    ScratchDir dir;
    const auto [status, text] = inOwnConsole(dir.path, "");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(text, usage.substr(0, usage.size() - 1) +
                        "slicevol is a console program: run it in a console in the folder of your "
                        "slices, or drop a "
                        "slice on slicevol.exe.Press a key to close this window.");
    EXPECT_EQ(inConsole(dir.path, "437", programWord()), usage);
    // A key typed at once, should the program wait for one after all.
    shellIn(dir.path, "printf x | WINEDEBUG=-all timeout 60 script -qec '" +
                          std::string(SLICEVOL_LAUNCHER) + " " +
                          windowsHelper("startWithout.exe").string() + " none \"" + programWord() +
                          "\"' /dev/null >console.txt");
    EXPECT_EQ(consoleText(readFile(dir.path / "console.txt"), true), "x" + usage);
}

// File Properties shows the version of project() in CMakeLists.txt: in the fixed file information
// (major.minor, then patch.0, 32-bit words after its signature) and as the product version text.
TEST(Windows, VersionResource) {
    SKIP_UNLESS_WINDOWS();
    const std::string exe = readFile(SLICEVOL_BIN);
    const std::size_t fixed = exe.find("\xbd\x04\xef\xfe");
    ASSERT_NE(fixed, std::string::npos) << "no version resource";
    unsigned v[3];
    ASSERT_EQ(std::sscanf(SLICEVOL_VERSION, "%u.%u.%u", &v[0], &v[1], &v[2]), 3);
    const std::string words = {char(v[1]), char(v[1] >> 8), char(v[0]),     char(v[0] >> 8), 0,
                               0,          char(v[2]),      char(v[2] >> 8)};
    EXPECT_EQ(exe.substr(fixed + 8, 8), words);
    std::string wide;
    for (char c : "ProductVersion\0" SLICEVOL_VERSION) wide += std::string{c, '\0'};
    EXPECT_NE(exe.find(wide), std::string::npos);
    EXPECT_NE(exe.find("<longPathAware"), std::string::npos) << "no manifest";
}

struct DropCase {
    const char *what;
    std::string folder;  // the slices' folder
    std::string dropped; // the slice's name
    std::string out; // what the window shows, {dir} for the slices' folder, {exe} for the program
    int status;
    bool converts;
};

// A slice dropped on slicevol.exe (Explorer starts it in a console of its own with the slice's
// whole path): it converts the slice's stack in the slice's folder, or says why not, and keeps the
// window until a key is pressed. The folders' names hold what a command shell would take for its
// own syntax. The rows run in order: the second drop on a stack finds the volumes of the first.
// Given the same path in a console it shares (cmd's), or through pipes, it is a basename as any.
TEST(Windows, DropOnTheProgram) {
    SKIP_UNLESS_WINDOWS();
    const std::string quirky = "100% ^hat bang! \xc3\x9c \xe7\xab\x8b\xe6\x96\xb9";
    const auto converted = [](const std::string &base, const std::vector<std::string> &names) {
        return "In {dir}:slicevol \"" + base + "\"" + progressLines(names) + "Done: " + base +
               "_r.df3, " + base + "_g.df3 and " + base + "_b.df3 are in {dir}.";
    };
    const DropCase cases[] = {
        {"a folder with & and no space", "R&D", "shape001.tga",
         converted("shape", {"shape000.tga", "shape001.tga"}), 0, true},
        {"a folder with spaces, %, ^, ! and letters beyond ASCII", quirky, "shape001.tga",
         converted("shape", {"shape000.tga", "shape001.tga"}), 0, true},
        {"the same stack again", "R&D", "shape000.tga",
         "shape_r.df3 is already in {dir}, from an earlier run: slicevol never replaces a file."
         "Move shape_r.df3, shape_g.df3 and shape_b.df3 elsewhere (or delete them), then drop the "
         "slice again.",
         1, false},
        {"a name with no digits", "R&D", "other.tga",
         "\"other.tga\" has no number before .tga, so it belongs to no numbered stack: a drop "
         "needs slices named "
         "like shape000.tga, shape001.tga, ... (or run slicevol with the basename in a console).",
         1, false},
        {"an upper-case .TGA", "R&D", "upper001.TGA",
         "\"upper001.TGA\" does not end in .tga in lower case: slicevol takes only such names."
         "Rename the slices so that they end in .tga, then drop one again.",
         1, false},
        {"a slice that is not there", "R&D", "gone001.tga", "\"{dir}\\gone001.tga\" is not there.",
         1, false},
        {"a cut-off slice", quirky, "short000.tga",
         "In {dir}:slicevol \"short\"" + progressLines({"short000.tga", "short001.tga"}) +
             "{exe}: error No data availableslicevol stopped with status 1.It left no volume "
             "behind.",
         1, false},
    };
    ScratchDir place;
    for (const std::string &folder : {std::string("R&D"), quirky}) {
        fs::create_directory(place.path / folder);
        for (const char *name :
             {"shape000.tga", "shape001.tga", "other.tga", "upper001.TGA", "short000.tga"})
            writeFile(place.path / folder / name, tga(2, 2, randomPixels(2, 2, 1)));
        writeFile(place.path / folder / "short001.tga", tga(2, 2, "abc"));
    }
    for (const DropCase &c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path slices = place.path / c.folder;
        const Snapshot before = snapshot(slices);
        std::string expected = c.out;
        for (std::size_t at; (at = expected.find("{dir}")) != std::string::npos;)
            expected.replace(at, 5, windowsPath(slices));
        for (std::size_t at; (at = expected.find("{exe}")) != std::string::npos;)
            expected.replace(at, 5, programWord());
        for (std::size_t at; (at = expected.find('\n')) != std::string::npos;)
            expected.erase(at, 1);
        const auto [status, text] =
            inOwnConsole(place.path, "'" + windowsPath(slices / c.dropped) + "'");
        EXPECT_EQ(text, expected + "Press a key to close this window.");
        EXPECT_EQ(status, c.status);
        if (!c.converts) expectUnchanged(before, slices);
        else EXPECT_EQ(snapshot(slices).size(), before.size() + 3);
    }
    // (cmd's own quoting is not what is tested here: a folder with a plain name)
    fs::create_directory(place.path / "plain");
    const std::string path = windowsPath(place.path / "plain" / "shape001.tga");
    writeFile(place.path / "plain" / "shape001.tga", tga(2, 2, randomPixels(2, 2, 1)));
    const std::string noMatch = noMatchLine(path);
    std::string shown = inConsole(place.path, "65001", programWord() + " " + path);
    shown.erase(std::remove(shown.begin(), shown.end(), '\n'),
                shown.end()); // wrapped at the console's width
    EXPECT_EQ(shown + "\n", noMatch);
    const RunResult piped = runSlicevol(place.path, {path});
    EXPECT_EQ(piped.status, 1);
    EXPECT_EQ(piped.err, noMatch);
}

} // namespace

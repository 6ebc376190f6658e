// What only slicevol.exe has: names in a Windows console, a double click, the version resource,
// and the drop target that converts the stack of a dropped slice. Run under Wine (make test-windows).
#include "harness.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

#define SKIP_UNLESS_WINDOWS()                                                                      \
    if (!testingWindows()) GTEST_SKIP() << "skipped: only slicevol.exe has it (make test-windows)"

// What a console showed, without its escape sequences and CRs (and LFs too, unless `lines`).
std::string consoleText(const std::string &shown, bool lines) {
    std::string text;
    for (std::size_t i = 0; i < shown.size(); i++) {
        if (shown[i] == '\x1b' && i + 1 < shown.size() && shown[i + 1] == '[') {
            for (i += 2; i < shown.size() && !std::isalpha(static_cast<unsigned char>(shown[i])); i++) {}
        } else if (shown[i] != '\r' && (lines || shown[i] != '\n')) {
            text += shown[i];
        }
    }
    return text;
}

// Runs `commands` through cmd in a console under the code page: Wine makes a console of a terminal,
// which `script` gives it. Answers the text the console showed, with LF line ends.
std::string inConsole(const fs::path &dir, const std::string &codePage, const std::string &commands) {
    const std::string line = std::string(SLICEVOL_LAUNCHER) + " cmd /c 'chcp " + codePage + " >nul & " + commands + "'";
    shellIn(dir, "WINEDEBUG=-all LC_ALL=C.UTF-8 timeout 60 script -qec \"" + line + "\" /dev/null </dev/null >console.txt");
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
        for (const std::string base : {"caf\xc3\xa9", "w\xc3\xbcrfel", "\xe7\xab\x8b\xe6\x96\xb9"}) {
            const Stack stack = makeStack(dir.path, base, 2, 2, 1);
            EXPECT_EQ(inConsole(dir.path, codePage, exe + " " + base), progressLines(stack.names)) << base;
        }
        writeFile(dir.path / "con.tga", tga(2, 2, randomPixels(2, 2, 1)));
        EXPECT_EQ(inConsole(dir.path, codePage, exe + " con"), exe + ": error Illegal seek\n");
    }
}

// Double-clicked, slicevol.exe keeps its window after the usage line until a key is pressed, and
// says how it is used instead; run from cmd, it prints the usage line alone and ends at once. Alone
// in a console (Wine makes one of the terminal that `script` gives it), a key is typed at once:
// the terminal echoes it before Wine starts, and the program takes it once it waits.
TEST(Windows, DoubleClicked) {
    SKIP_UNLESS_WINDOWS();
    const std::string usage = "usage: " + programWord() + " basename",
                      hint = "slicevol is a console program: run it in a console in the folder of your slices, or "
                             "drop a slice on slicevol-drop.cmd beside it. Press a key to close this window.";
    ScratchDir dir;
    const int status = shellIn(dir.path, "printf x | WINEDEBUG=-all timeout 60 script -qec '" +
                                             std::string(SLICEVOL_LAUNCHER) + " " + SLICEVOL_BIN + "' /dev/null >console.txt");
    EXPECT_EQ(WEXITSTATUS(status), 1);
    // Without line ends: the console wraps long lines at its width.
    EXPECT_EQ(consoleText(readFile(dir.path / "console.txt"), false), "x" + usage + hint);
    EXPECT_EQ(inConsole(dir.path, "437", programWord()), usage + "\n");
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
    const std::string words = {char(v[1]), char(v[1] >> 8), char(v[0]), char(v[0] >> 8), 0, 0, char(v[2]), char(v[2] >> 8)};
    EXPECT_EQ(exe.substr(fixed + 8, 8), words);
    std::string wide;
    for (char c : "ProductVersion\0" SLICEVOL_VERSION) wide += std::string{c, '\0'};
    EXPECT_NE(exe.find(wide), std::string::npos);
    EXPECT_NE(exe.find("<longPathAware"), std::string::npos) << "no manifest";
}

struct DropCase {
    const char *what;
    std::string dropped; // the slice's name
    std::string out;     // what the drop target says, {dir} for the slices' folder
    int status;
    bool converts;
};

// slicevol-drop.cmd with slicevol.exe beside it, as the zip has them, started by cmd with a slice of
// another folder: it converts the slice's stack in the slice's folder, or says why not. The folder's
// name holds what cmd would otherwise take for its own syntax (Wine's cmd itself drops % and ! from
// a batch file's arguments, which Windows' keeps, so those two are not in it). The rows run in
// order: the second drop on a stack finds the volumes of the first.
TEST(Windows, DropTarget) {
    SKIP_UNLESS_WINDOWS();
    const std::string sliceFolder = "R&D ^stack";
    const DropCase cases[] = {
        {"a slice of a numbered stack", "shape001.tga",
         "In {dir}:\nslicevol \"shape\"\n" + progressLines({"shape000.tga", "shape001.tga"}) +
             "Done: shape_r.df3, shape_g.df3 and shape_b.df3 are in {dir}.\n",
         0, true},
        {"the same stack again", "shape000.tga",
         "shape_r.df3 is already in {dir}, from an earlier run: slicevol never replaces a file.\n"
         "Move shape_r.df3, shape_g.df3 and shape_b.df3 elsewhere (or delete them), then drop the slice again.\n",
         1, false},
        {"a name with no digits", "other.tga",
         "\"other.tga\" has no number before .tga, so it belongs to no numbered stack: slicevol-drop needs\n"
         "slices named like shape000.tga, shape001.tga, ... (or run slicevol with the basename yourself).\n",
         1, false},
        {"an upper-case .TGA", "upper001.TGA",
         "\"upper001.TGA\" ends in .TGA: slicevol takes only names that end in .tga, in lower case.\n"
         "Rename the slices first, in their folder:  ren *.TGA *.tga\n",
         1, false},
        {"a run that fails midway", "short000.tga",
         "In {dir}:\nslicevol \"short\"\n" + progressLines({"short000.tga", "short001.tga"}) +
             "{exe}: error No data available\n"
             "slicevol stopped with status 1.\nIt left no volume behind.\n",
         1, false},
    };
    ScratchDir install, place, elsewhere;
    const fs::path slices = place.path / sliceFolder;
    fs::create_directory(slices);
    fs::copy_file(SLICEVOL_BIN, install.path / "slicevol.exe");
    std::string script = readFile(fs::path(SLICEVOL_SOURCE_DIR) / "windows" / "slicevol-drop.cmd"), crlf;
    for (char c : script) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    writeFile(install.path / "slicevol-drop.cmd", crlf);
    for (const char *name : {"shape000.tga", "shape001.tga", "other.tga", "upper001.TGA", "short000.tga"})
        writeFile(slices / name, tga(2, 2, randomPixels(2, 2, 1)));
    writeFile(slices / "short001.tga", tga(2, 2, "abc"));
    for (const DropCase &c : cases) {
        SCOPED_TRACE(c.what);
        const Snapshot before = snapshot(slices);
        const std::string command = std::string(SLICEVOL_LAUNCHER) + " cmd /c '" +
                                    windowsPath(install.path / "slicevol-drop.cmd") + "' '" +
                                    windowsPath(slices / c.dropped) + "'";
        const int status = shellIn(elsewhere.path, "WINEDEBUG=-all " + command + " </dev/null >out.txt 2>&1");
        std::string out, expected = c.out;
        for (char ch : readFile(elsewhere.path / "out.txt"))
            if (ch != '\r') out += ch;
        for (std::size_t at; (at = expected.find("{dir}")) != std::string::npos;)
            expected.replace(at, 5, windowsPath(slices));
        for (std::size_t at; (at = expected.find("{exe}")) != std::string::npos;)
            expected.replace(at, 5, windowsPath(install.path / "slicevol.exe"));
        EXPECT_EQ(out, expected);
        EXPECT_EQ(WEXITSTATUS(status), c.status);
        if (!c.converts) expectUnchanged(before, slices);
        else EXPECT_EQ(snapshot(slices).size(), before.size() + 3);
    }
}

} // namespace

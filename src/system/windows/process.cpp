// The process's edges on Windows. The arguments come from the wide command line, so that a
// basename of any script reaches the run as the UTF-8 bytes the directory listing gives; an
// argument that is not valid UTF-16 (a lone surrogate) is refused with the reason.
#include "system/process.h"
#include "system/windows/win32.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <shellapi.h>

bool takeArguments(int *argc, char ***argv) {
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        setErrnoFromWin32();
        return false;
    }
    // Kept for the whole run, like the arguments the C runtime gives.
    auto **utf8 = static_cast<char **>(std::calloc(static_cast<std::size_t>(count) + 1, sizeof(char *)));
    if (utf8 == nullptr) return false;
    for (int i = 0; i < count; i++) {
        const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide[i], -1, nullptr, 0, nullptr, nullptr);
        if (size == 0) {
            setErrnoFromWin32();
            return false;
        }
        utf8[i] = static_cast<char *>(std::malloc(static_cast<std::size_t>(size)));
        if (utf8[i] == nullptr || !toUtf8(wide[i], utf8[i], size, WC_ERR_INVALID_CHARS)) return false;
    }
    LocalFree(wide);
    *argc = count;
    *argv = utf8;
    return true;
}

// Text leaves through the standard handles themselves (windows/console.cpp) and every file is a
// handle of its own, so a standard handle that is missing takes no file's place: nothing to guard.
// (The C runtime marks a descriptor that was given no handle as open, with handle -2; opening NUL
// over it would fail.)
bool guardStandardStreams() { return true; }

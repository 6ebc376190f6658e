// The process's edges on Windows. The arguments come from the wide command line, so that a
// basename of any script reaches the run as the UTF-8 bytes the directory listing gives; an
// argument that is not valid UTF-16 (a lone surrogate) is refused with the reason.
#include "system/process.h"
#include "system/windows/win32.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <initializer_list>
#include <cwchar>
#include <shellapi.h>

bool takeArguments(int *argc, char ***argv) {
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        setErrnoFromWin32();
        return false;
    }
    // Kept for the whole run, like the arguments the C runtime gives.
    auto **utf8 =
        static_cast<char **>(std::calloc(static_cast<std::size_t>(count) + 1, sizeof(char *)));
    if (utf8 == nullptr) return false;
    for (int i = 0; i < count; i++) {
        const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide[i], -1, nullptr, 0,
                                             nullptr, nullptr);
        if (size == 0) {
            setErrnoFromWin32();
            return false;
        }
        utf8[i] = static_cast<char *>(std::malloc(static_cast<std::size_t>(size)));
        if (utf8[i] == nullptr || !toUtf8(wide[i], utf8[i], size, WC_ERR_INVALID_CHARS))
            return false;
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

bool runAgain(const char *argument, int *status) {
    static wchar_t exe[32768];
    const DWORD length = GetModuleFileNameW(nullptr, exe, 32768);
    if (length == 0 || length == 32768) {
        setErrnoFromWin32(length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    wchar_t *wide = toWide(argument);
    if (wide == nullptr) return false;
    // "<exe>" "<argument>": neither a path nor a file name holds a quote, and neither ends in a
    // backslash, so CommandLineToArgvW gives the child back exactly these two.
    const std::size_t size = std::wcslen(exe) + std::wcslen(wide) + 6;
    auto *line = static_cast<wchar_t *>(std::malloc(size * sizeof(wchar_t)));
    if (line == nullptr) {
        std::free(wide);
        return false;
    }
    line[0] = L'\0';
    for (const wchar_t *part : {L"\"", static_cast<const wchar_t *>(exe), L"\" \"",
                                static_cast<const wchar_t *>(wide), L"\""})
        std::wcscat(line, part);
    std::free(wide);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION child;
    const bool started = CreateProcessW(exe, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &start, &child) != 0;
    const DWORD error = GetLastError();
    std::free(line);
    if (!started) {
        setErrnoFromWin32(error);
        return false;
    }
    CloseHandle(child.hThread);
    DWORD code = 0;
    const bool ended = WaitForSingleObject(child.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(child.hProcess, &code);
    if (!ended) setErrnoFromWin32();
    CloseHandle(child.hProcess);
    *status = static_cast<int>(code);
    return ended;
}

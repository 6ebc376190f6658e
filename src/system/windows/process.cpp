// The process's edges on Windows. The arguments come from the wide command line, so that a
// basename of any script reaches the run as the UTF-8 bytes the directory listing gives. A
// standard handle closed at the start is opened on NUL, so no volume can take its descriptor.
#include "system/process.h"
#include "system/windows/win32.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
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
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        if (size == 0) {
            setErrnoFromWin32();
            return false;
        }
        utf8[i] = static_cast<char *>(std::malloc(static_cast<std::size_t>(size)));
        if (utf8[i] == nullptr || !toUtf8(wide[i], utf8[i], size)) return false;
    }
    LocalFree(wide);
    *argc = count;
    *argv = utf8;
    return true;
}

bool guardStandardStreams() {
    for (int fd = 0; fd <= 2; fd++) {
        if (_get_osfhandle(fd) >= 0) continue;
        // The lowest free descriptor is taken, and every lower one is open by now: this is fd.
        const int opened = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (opened == -1) return false;
        if (opened != fd) {
            errno = EBADF;
            return false;
        }
    }
    return true;
}

// The C library has no text for ENODATA; the text POSIX systems give is supplied.
const char *errorText(int error) { return error == ENODATA ? "No data available" : std::strerror(error); }

// No signal handler runs on Windows: the console's handler only raises a flag.
const char *errorTextInSignal(int error, char (&)[24]) { return errorText(error); }

// Error texts on Windows, and failures kept with their Win32 error.
#include "system/errors.h"
#include "system/windows/win32.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

// The C library has no text for ENODATA; the text POSIX systems give is supplied. A Win32 error
// that no error number fits keeps its own code in the line.
const char *errorText(int error) {
    if (error == ENODATA) return "No data available";
    const DWORD unmapped = unmappedWin32Error();
    if (error != EIO || unmapped == 0) return std::strerror(error);
    static char text[64];
    std::snprintf(text, sizeof text, "%s (Windows error %lu)", std::strerror(EIO),
                  static_cast<unsigned long>(unmapped));
    return text;
}

// No signal handler runs on Windows: the console's handler only raises a flag.
const char *errorTextInSignal(int error, char (&)[24]) { return errorText(error); }

SystemError lastError() { return {errno, unmappedWin32Error()}; }

void restoreError(const SystemError &error) {
    errno = error.number;
    keepUnmappedWin32Error(static_cast<DWORD>(error.code));
}

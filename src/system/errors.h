// Errors as the system tells them: the texts of error numbers, and a failure kept with the code
// the system gave for it. One interface, one implementation per system (posix/, windows/).
#pragma once

#include <cerrno>

// The error of a transfer that found its file ended, which sets no error number of its own: "no
// data" (ENODATA; EIO on the few systems that lack it). Without it, the run's error line would show
// whatever text an earlier call left behind.
#ifdef ENODATA
constexpr int noDataError = ENODATA;
#else
constexpr int noDataError = EIO;
#endif

// The system's text for an error number, as the run's error line shows it (where the C library
// has none, as for ENODATA on Windows, the text the other system gives; on Windows an EIO that
// stands for a Win32 error of no number of its own names that error too).
const char *errorText(int error);

// The same text inside a signal handler: where it cannot be had safely there, "error <number>",
// written into `spare`.
const char *errorTextInSignal(int error, char (&spare)[24]);

// A failure as this thread last met it: the error number, and on Windows the Win32 error behind
// an EIO that no number fits (0 elsewhere). Kept by whichever thread failed, so that the line
// printed later, on another thread, is that failure's own.
struct SystemError {
    int number;
    unsigned long code;
};
SystemError lastError();

// Makes `error` this thread's last error again, as errExit prints it.
void restoreError(const SystemError &error);

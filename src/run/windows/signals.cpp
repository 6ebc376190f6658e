// Ctrl-C, Ctrl-Break and closing the console window on Windows. Windows runs the console handler
// on a thread of its own, beside both workers, at any moment: so it only raises a flag, and the run
// notices it at its next step (a block, an output's creation, the end), stops like after an error
// and ends through the exit clean-up, which deletes the unfinished volumes, with the status of the
// system's own console programs after Ctrl-C. No handler ever reads the register, so nothing needs
// holding while it changes.
#include "run/signals.h"
#include "run/errExit.h"
#include "system/windows/win32.h"

#include <atomic>
#include <cstdlib>

namespace {

// STATUS_CONTROL_C_EXIT, which ntstatus.h defines; windows.h may not.
constexpr unsigned controlCExit = 0xC000013A;

std::atomic<bool> stopAsked;

BOOL WINAPI onConsoleEvent(DWORD event) {
    // Only a service's programs see a logoff, any user's: it is none of the run's business.
    if (event == CTRL_LOGOFF_EVENT) return TRUE;
    stopAsked = true;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    // Closing the window or shutting down ends the process as soon as this handler
    // returns: it waits instead, until the run has cleaned up and ended the process.
    for (;;) Sleep(INFINITE);
}

} // namespace

void catchSignals() {
    if (!SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
        setErrnoFromWin32();
        errExit();
    }
}

void holdSignals() {}
void releaseSignals() {}

bool stopRequested() { return stopAsked; }

void endByStop() { std::exit(static_cast<int>(controlCExit)); }

// The system-error exit: the one way a failed call ends the run.
#pragma once

// Prints "<prog>: error <text of errno>" and ends the process with status 1 (running cleanUp).
[[noreturn]] void errExit();

// For calls that answer an error number instead of setting errno (the pthread functions): errExit
// with that number, unless it is 0.
void errExitOn(int error);

// For calls that may fail without setting errno (atexit): errExit with errno, or with
// `fallback` when the call left it at 0, so that no text of an earlier call is printed. Clear
// errno right before the call.
[[noreturn]] void errExitOr(int fallback);

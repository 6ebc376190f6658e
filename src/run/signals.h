// The signals that must clean up too: one interface, one implementation per system. On POSIX the
// fatal signals run a handler that deletes the unfinished outputs and ends the process by the same
// signal (posix/signals.cpp). On Windows, Ctrl-C, Ctrl-Break and closing the console only raise a
// flag, which the run notices at its next step; it then ends like after an error, through the exit
// clean-up (windows/signals.cpp).
#pragma once

// Makes the fatal signals (the console's events on Windows) clean up before they end the process.
void catchSignals();

// Holds off the fatal signals while the register changes, so that their handler never sees it
// half-done; releaseSignals puts the mask back as it was, so a signal the caller had blocked stays
// blocked. Main thread only, never nested (a failure releases them before it ends the run).
// Nothing to hold on Windows, where no handler reads the register.
void holdSignals();
void releaseSignals();

// True once the user asked the run to stop (Windows' console events; never on POSIX, where the
// handler does the whole work). Any thread may ask.
bool stopRequested();

// Ends the run after a stop request, with the status the system's own programs have then
// (STATUS_CONTROL_C_EXIT on Windows), through the exit clean-up. Main thread only.
[[noreturn]] void endByStop();

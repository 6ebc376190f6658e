// The exit clean-up and the signals that must clean up too: the two ways an unfinished output on
// the register (run/runState.h) is deleted.
#pragma once

#include <csignal>

// The exit handler: deletes every output still on the register, then releases the run's memory.
void cleanUp();

// Deletes output c if its name still leads to the file this run created; when that file is there
// but cannot be deleted, says so on standard error, naming it and why. Async-signal-safe.
void unlinkIfOurs(int c);

// Makes the fatal signals delete the unfinished outputs before they end the process.
void catchSignals();

// Holds off the fatal signals while the register changes, so the handler never sees it half-done;
// the mask as it was goes into `before`, and releaseSignals puts it back, so a signal the caller
// had blocked stays blocked.
void holdSignals(sigset_t *before);
void releaseSignals(const sigset_t &before);

// The exit clean-up: the end of every run that does not end by a signal deletes the unfinished
// outputs on the register (run/runState.h).
#pragma once

// The exit handler: deletes every output still on the register, then releases the run's memory.
void cleanUp();

// Deletes output c if its name still leads to the file this run created; when that file is there
// but cannot be deleted, says so on standard error, naming it and why. On POSIX it is safe inside
// a signal handler.
void unlinkIfOurs(int c);

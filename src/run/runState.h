// The run state: the few program-wide variables that the whole run shares, the system-error
// exit and the exit clean-up. Everything here is zero until the run fills it.
#pragma once

#include <cstdint>
#include <cstdio>

extern const char *prog;       // the first command-line word, for messages
extern char **todo;            // the slice list: ntodo owned names, then one null entry
extern std::uint64_t ntodo;    // number of names in todo
extern std::uint64_t width;    // slice width in pixels, 1 to 4096 once read
extern std::uint64_t height;   // slice height in pixels, 1 to 4096 once read
extern char *df3Name[3];       // output names for the channels r, g, b
extern FILE *df3File[3];       // the register of unfinished outputs (see cleanUp.cpp)
extern bool df3Closed[3];      // the already-closed mark: the final close failed

// Prints "<prog>: error <text of errno>" and ends the process with status 1 (running cleanUp).
[[noreturn]] void errExit();

// The exit handler: deletes every output still on the register, then releases the run's memory.
void cleanUp();

// Makes the fatal signals delete the unfinished outputs before they end the process.
void catchSignals();

// Holds off the fatal signals while the register changes, so the handler never sees it half-done.
void holdSignals();
void releaseSignals();

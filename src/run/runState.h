// The run state: the few program-wide variables that the whole run shares. Everything here is zero
// until the run fills it.
#pragma once

#include "system/files.h"

#include <atomic>
#include <cstdint>
#include <cstdio>

extern const char *prog;       // the first command-line word, for messages
extern char **todo;            // the slice list: ntodo owned names, then one null entry
extern std::uint64_t ntodo;    // number of names in todo
extern std::uint64_t width;    // slice width in pixels, 1 to 4096 once read
extern std::uint64_t height;   // slice height in pixels, 1 to 4096 once read

// The register of unfinished outputs (see run/cleanUp.h), one entry per channel r, g, b. The signal
// handler reads it at any moment, so the names and streams are atomic pointers: a store is never
// seen half-done, and the compiler keeps the order in which the main flow writes them.
static_assert(std::atomic<FILE *>::is_always_lock_free && std::atomic<char *>::is_always_lock_free,
              "a signal handler may only read lock-free atomics");
extern std::atomic<char *> df3Name[3]; // output names; set before the output exists
extern std::atomic<FILE *> df3File[3]; // non-null: the output exists and is unfinished
extern FileIdentity df3Id[3];          // the output's identity, taken from the new file itself,
                                       // so clean-up never deletes a file put in its place
extern bool df3Closed[3];              // the already-closed mark: the final close failed

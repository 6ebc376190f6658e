// The run state: the few program-wide variables that the whole run shares. Everything here is zero
// until the run fills it.
#pragma once

#include "system/volumeFile.h"

#include <atomic>
#include <cstdint>

extern const char *prog;       // the first command-line word, for messages
extern char **todo;            // the slice list: ntodo owned names, then one null entry
extern std::uint64_t ntodo;    // number of names in todo
extern std::uint64_t width;    // slice width in pixels, 1 to 4096 once read
extern std::uint64_t height;   // slice height in pixels, 1 to 4096 once read

// An entry of the register of unfinished outputs (run/outputs.h). A signal handler reads it at any
// moment, so the mark and the names are lock-free atomics: a store is never seen half-done, and
// the compiler keeps the order in which the main flow writes them (the identity before the mark).
struct OutputEntry {
    VolumeFile file;              // the volume's handle and identity
    std::atomic<bool> unfinished; // the output exists, is not finished, and goes if the run ends now
};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<char *>::is_always_lock_free,
              "a signal handler may only read lock-free atomics");

// One entry per channel r, g, b.
extern std::atomic<char *> df3Name[3]; // output names; set before the output exists
extern OutputEntry df3File[3];         // the register of unfinished outputs

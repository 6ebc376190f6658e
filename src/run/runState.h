// The run state: the few program-wide variables that the whole run shares. Everything here is zero
// until the run fills it.
#pragma once

#include <cstdint>

extern const char *prog;     // the first command-line word, for messages
extern char **todo;          // the slice list: ntodo owned names, then one null entry
extern std::uint64_t ntodo;  // number of names in todo
extern std::uint64_t width;  // slice width in pixels, 1 to 4096 once read
extern std::uint64_t height; // slice height in pixels, 1 to 4096 once read

// The output names and the register of unfinished outputs belong to run/outputs.cpp alone.

// Stream transfers that move every item asked for, or report why not.
#pragma once

#include <cstddef>
#include <cstdio>

// A short transfer at the end of a file sets no error number; without a fixed one, errExit would
// print whatever text an earlier call left behind. Such a transfer reports the system's "no data"
// error (ENODATA where the system has it).
// False, with errno set, when fewer than count items moved.
bool readAll(void *buf, std::size_t size, std::size_t count, FILE *in);
bool writeAll(const void *buf, std::size_t size, std::size_t count, FILE *out);

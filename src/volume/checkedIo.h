// Transfers that move every byte asked for, or report why not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A short transfer at the end of a file sets no error number; without a fixed one, errExit would
// print whatever text an earlier call left behind. Such a transfer reports the system's "no data"
// error (ENODATA where the system has it).

// False, with errno set, when fewer than count items were written.
bool writeAll(const void *buf, std::size_t size, std::size_t count, FILE *out);

// Reads up to `size` bytes of descriptor `fd` from byte `offset` on, however many calls that takes,
// without moving its file position; answers how many it read. Fewer than `size`: errno is set, to
// the "no data" error when the file simply ended.
std::size_t readAt(int fd, void *buf, std::size_t size, std::uint64_t offset);

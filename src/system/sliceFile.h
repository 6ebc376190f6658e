// The slices of a run, as the system gives them: opened, read at explicit offsets, closed. One
// interface, one implementation per system (posix/, windows/); names are the bytes the directory
// gave (UTF-8 on Windows), and every read is binary.
#pragma once

#include <cstddef>
#include <cstdint>

// Opens an existing slice for reading at explicit offsets, without ever waiting: a FIFO (or
// anything else that cannot be read at an offset) fails here, at once. A descriptor, or -1 with
// errno set.
int openSlice(const char *name);

// Reads up to `size` bytes of `slice` from byte `offset` on, however many calls that takes,
// without moving its file position; answers how many it read. Fewer than `size`: errno is set, to
// the "no data" error (system/errors.h) when the file simply ended.
std::size_t readSliceAt(int slice, void *buf, std::size_t size, std::uint64_t offset);

void closeSlice(int slice);

// The slices of a run, as the system gives them: read at explicit offsets. One interface, one
// implementation per system (posix/, windows/); names are the bytes the directory gave (UTF-8 on
// Windows), and every read is binary. The volumes are in system/volumeFile.h.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

// The error of a transfer that found its file ended, which sets no error number of its own: "no
// data" (ENODATA; EIO on the few systems that lack it). Without it, the run's error line would show
// whatever text an earlier call left behind.
#ifdef ENODATA
constexpr int noDataError = ENODATA;
#else
constexpr int noDataError = EIO;
#endif

// A file's identity: the same for every name that leads to the file, kept through a rename, never
// shared by two files that exist at once.
struct FileIdentity {
    std::uint64_t volume;
    std::uint64_t index;
};

// Opens an existing file for reading at explicit offsets, without ever waiting: a FIFO (or anything
// else that cannot be read at an offset) fails here, at once. A descriptor, or -1 with errno set.
int openForReading(const char *name);

// Reads up to `size` bytes of `fd` from byte `offset` on, however many calls that takes, without
// moving its file position; answers how many it read. Fewer than `size`: errno is set, to the
// "no data" error when the file simply ended.
std::size_t readAt(int fd, void *buf, std::size_t size, std::uint64_t offset);

void closeForReading(int fd);

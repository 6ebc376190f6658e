// The files of a run, as the system gives them: slices read at explicit offsets, volumes created
// exclusively, and a volume deleted only while its name still leads to it. One interface, one
// implementation per system (posix/, windows/); names are the bytes the directory gave (UTF-8 on
// Windows), and every transfer is binary.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>

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

// Creates `name` for writing, unless an entry of that name exists in any form (a file, readable or
// not, a directory, a link): then null with errno EEXIST, and the entry is not touched. The stream
// is binary and unbuffered (whole blocks go straight to the file); `size` bytes are reserved where
// the file system can, and the new file's identity goes into `identity`. Null with errno set on any
// failure; a file made before the failure is deleted again.
FILE *createExclusive(const char *name, std::uint64_t size, FileIdentity *identity);

// Deletes `name` if it still leads to the file with `identity`. Answers 0 when it did, or when the
// name leads to nothing or to another file; otherwise the error number. On POSIX it is safe inside
// a signal handler.
int deleteIfOurs(const char *name, const FileIdentity &identity);

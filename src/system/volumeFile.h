// A volume as the system holds it while the run writes it: created exclusively, written front to
// back, then either closed (finished) or discarded (deleted). One interface, one implementation per
// system (posix/, windows/); names are the bytes the directory gave (UTF-8 on Windows), and every
// write is binary.
#pragma once

#include <cstddef>
#include <cstdint>

// A file's identity: the same for every name that leads to the file, kept through a rename, never
// shared by two files that exist at once.
struct FileIdentity {
    std::uint64_t volume;
    std::uint64_t index;
};

struct VolumeFile {
    std::intptr_t handle = -1; // the system's own (a descriptor, a HANDLE); -1 when not open
    FileIdentity identity{};   // taken from the new file itself, so a file put in its place
                               // under the same name is never taken for it
};

// Creates `name` for writing, unless an entry of that name exists in any form (a file, readable or
// not, a directory, a link): then false with errno EEXIST, and the entry is not touched. Reserves
// room for `size` bytes where that helps (see the POSIX file). False with errno set on any other
// failure; a file made before the failure is left in `volume` (its handle not -1), for the caller
// to discard like any unfinished volume, so that one that cannot be deleted is named.
bool createVolume(const char *name, std::uint64_t size, VolumeFile *volume);

// Appends all `size` bytes, however many calls that takes. False with errno set when they did not
// all go: a full disk is ENOSPC on every system, and a write that moved nothing and set no error
// number is the "no data" error (system/errors.h). Any thread may write.
bool writeVolume(const VolumeFile &volume, const void *data, std::size_t size);

// The final close of a written volume. False with errno set when it failed: the data may not all
// be on the disk. The handle is gone either way.
bool closeVolume(VolumeFile *volume);

// Deletes an unfinished volume: through its own handle while it is still open (on Windows no other
// program can then come between), otherwise by name while the name still leads to it. Answers 0,
// or the error number when the volume is still there.
int discardVolume(VolumeFile *volume, const char *name);

// Deletes `name` if it still leads to the file with `identity`, without its handle. Answers 0 when
// it did, or when the name leads to nothing or to another file; otherwise the error number. On
// POSIX it is safe inside a signal handler.
int deleteVolumeByName(const char *name, const FileIdentity &identity);

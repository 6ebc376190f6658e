// What the POSIX files of this folder share: writing every byte of a buffer.
#pragma once

#include <cstddef>

// Writes all `size` bytes to `fd`, however many calls that takes (a signal, a write cut short).
// False with errno set when they did not all go; a write that moved nothing and set no error
// number is the "no data" error (noDataError in system/errors.h). Safe inside a signal handler.
bool writeAll(int fd, const void *data, std::size_t size);

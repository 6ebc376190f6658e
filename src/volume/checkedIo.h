// Transfers that move every byte asked for, or report why not.
#pragma once

#include <cstddef>
#include <cstdio>

// False, with errno set, when fewer than count items were written: a short write that sets no
// error number of its own reports the "no data" error (noDataError in system/files.h).
bool writeAll(const void *buf, std::size_t size, std::size_t count, FILE *out);


// Finding and ordering the slices of a basename in the working directory.
#pragma once

#include <cstdint>

// Sort comparator over two entries of todo: byte-wise name order.
int cmpNames(const void *a, const void *b);

// Fills todo and ntodo with the sorted slice names; answers ntodo, or 0 when no entry matches or
// more than 65535 do (then no list is built).
std::uint64_t mkTodos(const char *base);

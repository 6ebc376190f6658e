// Finding and ordering the slices of a basename in the working directory.
#pragma once

#include <cstdint>

// Fills todo and ntodo with the sorted slice names; answers ntodo, or 0 when no entry matches or
// more than 65535 do (then no list is built).
std::uint64_t mkTodos(const char *base);

// Finding and ordering the slices of a basename in the working directory.
#pragma once

#include <cstdint>

// The largest slice count: the z size of a volume is a 16-bit field.
constexpr std::uint64_t maxSlices = 65535;

// True when the entry name ends in exactly ".tga" after its last dot and starts with the basename.
bool isSliceName(const char *name, const char *base, std::size_t baseLen);

// Sort comparator over two entries of todo: byte-wise name order.
int cmpNames(const void *a, const void *b);

// Fills todo and ntodo with the sorted slice names; answers ntodo, or 0 when no entry matches or
// more than maxSlices do (then no list is built).
std::uint64_t mkTodos(const char *base);

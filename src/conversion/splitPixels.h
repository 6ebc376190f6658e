// The per-pixel work of the conversion: one block of slice pixels into three channel buffers.
#pragma once

#include <cstddef>

// Splits n pixels stored blue, green, red into red, green and blue buffers of n bytes each.
// The four buffers must not overlap.
void splitPixels(const unsigned char *__restrict pixels, std::size_t n,
                 unsigned char *__restrict red, unsigned char *__restrict green,
                 unsigned char *__restrict blue);

// Stream transfers that either move every item asked for or end the run through errExit.
#pragma once

#include <cstddef>
#include <cstdio>

// A short transfer at the end of a file sets no error number; without a fixed one, errExit would
// print whatever text an earlier call left behind. ENODATA reads "No data available".
void readExactly(void *buf, std::size_t size, std::size_t count, FILE *in);
void writeExactly(const void *buf, std::size_t size, std::size_t count, FILE *out);

// TGA slice input: the only code that knows the slice format.
#pragma once

#include <cstdint>
#include <cstdio>

// Reads width and height from the first slice; false when either is outside 1 to 4096.
bool readSize();

// Opens a slice for reading, positioned at its first pixel. Null, with errno set, on failure: the
// conversion decides when to end the run, since a helper thread may still be at work. Main thread
// only.
FILE *openSlice(const char *name);

// Warns on standard error, for the first few slices it meets so, when the slice's header says it
// is not an uncompressed 24-bit TGA of the first slice's size. Main thread only, right before the
// slice's progress line, so that warnings keep the order of the progress lines.
void checkHeader(const char *name, FILE *slice);

// Says how many slices beyond those named in a warning were not what they are read as, if any.
void reportUnnamedWarnings();

// The process's standard descriptors and the progress stream.
#pragma once

#include <cstdio>

// setvbuf, with errno set whenever it fails (setvbuf itself need not set it). False on failure.
bool setBuffering(FILE *stream, int mode);

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that no file the run opens
// can take a standard descriptor's number; then makes standard output line-buffered. Ends the run
// with status 1 if it cannot.
void guardStandardStreams();

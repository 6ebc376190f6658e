// Stream buffering with a reason on failure, the same on every system.
#pragma once

#include <cstdio>

// setvbuf with no buffer of our own. setvbuf need not set errno when it fails: then it is EINVAL,
// so that no text of an earlier call is printed. False on failure.
bool setBuffering(FILE *stream, int mode);

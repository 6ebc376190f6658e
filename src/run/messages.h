// Every line the run prints goes through here: formatted whole, then written in one piece to
// standard output or standard error (system/console.h).
#pragma once

#include "system/console.h"

// Formats like printf and writes the result to `stream` in one piece.
void say(Stream stream, const char *format, ...) __attribute__((format(printf, 2, 3)));

// "<prog>: cannot delete unfinished volume '<name>': <text>" on standard error, made without
// stdio or memory, so that it is safe inside a signal handler.
void sayUndeleted(const char *name, int error);

// The process's edges as each system has them: its arguments, its standard descriptors, and the
// texts of its error numbers. One interface, one implementation per system (posix/, windows/).
#pragma once

// Replaces argc and argv with the command line as the user gave it, in UTF-8 (the wide command line
// on Windows; unchanged on POSIX). False with errno set on failure.
bool takeArguments(int *argc, char ***argv);

// Opens the null device on each of descriptors 0, 1 and 2 that is closed, so that no file the run
// opens can take a standard descriptor's number. False with errno set on failure.
bool guardStandardStreams();

// The system's text for an error number, as the run's error line shows it (where the C library
// has none, as for ENODATA on Windows, the text the other system gives).
const char *errorText(int error);

// The same text inside a signal handler: where it cannot be had safely there, "error <number>",
// written into `spare`.
const char *errorTextInSignal(int error, char (&spare)[24]);

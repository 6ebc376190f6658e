// The process's edges as each system has them: its arguments and its standard descriptors. One
// interface, one implementation per system (posix/, windows/).
#pragma once

// Replaces argc and argv with the command line as the user gave it, in UTF-8 (the wide command line
// on Windows; unchanged on POSIX). False with errno set on failure.
bool takeArguments(int *argc, char ***argv);

// Opens the null device on each of descriptors 0, 1 and 2 that is closed, so that no file the run
// opens can take a standard descriptor's number. False with errno set on failure.
bool guardStandardStreams();

// The process's edges as each system has them: its arguments, its standard descriptors, and the
// program run again. One interface, one implementation per system (posix/, windows/).
#pragma once

// Replaces argc and argv with the command line as the user gave it, in UTF-8 (the wide command line
// on Windows; unchanged on POSIX). False with errno set on failure.
bool takeArguments(int *argc, char ***argv);

// Opens the null device on each of descriptors 0, 1 and 2 that is closed, so that no file the run
// opens can take a standard descriptor's number. False with errno set on failure.
bool guardStandardStreams();

// Runs this same program again with the one argument `argument`, in the working directory and in
// this console, waits until it has ended and sets `status` to its exit status. False with errno set
// when it cannot be started or waited for. Only a drop on slicevol.exe runs the program again; on
// POSIX, where no run is a drop, it answers ENOSYS.
bool runAgain(const char *argument, int *status);

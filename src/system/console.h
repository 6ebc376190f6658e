// Where the text for a person leaves the program: standard output (progress) and standard error
// (warnings and errors). One interface, one implementation per system (posix/, windows/).
#pragma once

#include <cstddef>

enum class Stream { out, err };

// Writes `size` bytes of UTF-8 text, one or more whole lines, to the stream at once, with no stream
// buffer in between: each line is out before the run goes on. Its result is not looked at: nothing
// is left to tell if the stream fails. On POSIX it is safe inside a signal handler.
void writeText(Stream stream, const char *text, std::size_t size);

// True when the program is the one process of a console window that came with it, as after a
// double click: the window closes the moment the program ends. Never on POSIX.
bool aloneInOwnConsole();

// Waits until a key is pressed in that console.
void awaitKey();

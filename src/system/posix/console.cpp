// Text goes out with write(2), the bytes unchanged. Each line leaves as its message is made: a log
// shows the progress up to the failing slice, and a reader that has gone is noticed at once
// (SIGPIPE, unfinished volumes deleted), not when a buffer happens to fill.
#include "system/console.h"
#include "system/posix/writeAll.h"

#include <unistd.h>

void writeText(Stream stream, const char *text, std::size_t size) {
    // Nothing is left to tell if the stream fails.
    (void)writeAll(stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO, text, size);
}

// A terminal outlives the programs run in it.
bool aloneInOwnConsole() { return false; }
void awaitKey() {}

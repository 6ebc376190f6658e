// Text goes out with write(2), the bytes unchanged. Each line leaves as its message is made: a log
// shows the progress up to the failing slice, and a reader that has gone is noticed at once
// (SIGPIPE, unfinished volumes deleted), not when a buffer happens to fill.
#include "system/console.h"

#include <cerrno>
#include <unistd.h>

void writeText(Stream stream, const char *text, std::size_t size) {
    const int fd = stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO;
    while (size > 0) {
        const ssize_t wrote = write(fd, text, size);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return;
        text += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
}

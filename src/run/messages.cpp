#include "run/messages.h"
#include "run/runState.h"
#include "system/errors.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

void say(Stream stream, const char *format, ...) {
    char line[1024];
    std::va_list args;
    va_start(args, format);
    const int size = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (size < 0) return;
    if (static_cast<std::size_t>(size) < sizeof line)
        return writeText(stream, line, static_cast<std::size_t>(size));
    // A longer line (a long basename) is written whole all the same; with no memory for it, cut.
    char *longer = static_cast<char *>(std::malloc(static_cast<std::size_t>(size) + 1));
    if (longer == nullptr) return writeText(stream, line, sizeof line - 1);
    va_start(args, format);
    std::vsnprintf(longer, static_cast<std::size_t>(size) + 1, format, args);
    va_end(args);
    writeText(stream, longer, static_cast<std::size_t>(size));
    std::free(longer);
}

void sayUndeleted(const char *name, int error) {
    char spare[24];
    const char *text = errorTextInSignal(error, spare);
    char line[2048];
    std::size_t used = 0;
    for (const char *part : {prog, ": cannot delete unfinished volume '", name, "': ", text})
        for (; *part != '\0' && used < sizeof line - 1; part++) line[used++] = *part;
    line[used++] = '\n';
    writeText(Stream::err, line, used);
}

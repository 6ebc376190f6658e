// Text goes out through the C runtime's descriptors 1 and 2 in their text mode, so lines end in
// CR LF, the Windows convention.
#include "system/console.h"

#include <io.h>

void writeText(Stream stream, const char *text, std::size_t size) {
    const int written = _write(stream == Stream::out ? 1 : 2, text, static_cast<unsigned>(size));
    (void)written;
}

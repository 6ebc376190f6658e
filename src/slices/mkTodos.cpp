// The slice list: every entry of the working directory named <basename>...<.tga>, in byte-wise
// name order, which is the z order of the volumes. The directory is read twice, once to count and
// once to collect, so that the list is allocated once at its final size.
#include "slices/mkTodos.h"
#include "run/errExit.h"
#include "run/messages.h"
#include "run/runState.h"
#include "system/directory.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

// The largest slice count: the z size of a volume is a 16-bit field.
constexpr std::uint64_t maxSlices = 65535;

// True when the entry name ends in exactly ".tga" after its last dot and starts with the basename.
bool isSliceName(const char *name, const char *base, std::size_t baseLen) {
    const char *dot = std::strrchr(name, '.');
    if (dot == nullptr || std::strcmp(dot, ".tga") != 0) return false;
    return std::strncmp(name, base, baseLen) == 0;
}

// The next entry's name, or null at the end of the directory. A failed read (an I/O error, a
// directory removed meanwhile) is not an end: taken for one, it would silently drop the slices
// after it.
const char *nextName(Directory *dir) {
    const char *name = nextEntryName(dir);
    if (name == nullptr && errno != 0) errExit();
    return name;
}

// The directory changed between the two passes: the list no longer says what the stack is.
[[noreturn]] void consistencyStop() {
    say(Stream::err,
        "%s: mkTodos: check 'ntodo == n' failed: the directory changed while it was read\n", prog);
    std::exit(1);
}

// Sort comparator over two entries of todo: byte-wise name order.
int cmpNames(const void *a, const void *b) {
    return std::strcmp(*static_cast<char *const *>(a), *static_cast<char *const *>(b));
}

} // namespace

std::uint64_t mkTodos(const char *base) {
    Directory *dir = openWorkingDirectory();
    if (dir == nullptr) errExit();
    const std::size_t baseLen = std::strlen(base);

    std::uint64_t n = 0;
    while (const char *name = nextName(dir))
        if (isSliceName(name, base, baseLen)) n++;
    if (n == 0 || n > maxSlices) {
        closeDirectory(dir);
        return 0;
    }

    todo = static_cast<char **>(std::calloc(n + 1, sizeof *todo));
    if (todo == nullptr) errExit();
    if (!rewindDirectory(dir)) errExit();
    while (const char *name = nextName(dir)) {
        if (!isSliceName(name, base, baseLen)) continue;
        if (ntodo == n) consistencyStop(); // more matches than counted: never write past the list
        todo[ntodo] = strdup(name);
        if (todo[ntodo] == nullptr) errExit();
        ntodo++;
    }
    if (!closeDirectory(dir)) errExit();
    if (ntodo != n) consistencyStop();

    std::qsort(todo, n, sizeof *todo, cmpNames);
    return ntodo;
}

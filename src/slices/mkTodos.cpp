// The slice list: every entry of the working directory named <basename>...<.tga>, in byte-wise
// name order, which is the z order of the volumes. The directory is read twice, once to count and
// once to collect, so that the list is allocated once at its final size.
#include "slices/mkTodos.h"
#include "run/errExit.h"
#include "run/runState.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace {

// The largest slice count: the z size of a volume is a 16-bit field.
constexpr std::uint64_t maxSlices = 65535;

// True when the entry name ends in exactly ".tga" after its last dot and starts with the basename.
bool isSliceName(const char *name, const char *base, std::size_t baseLen) {
    const char *dot = std::strrchr(name, '.');
    if (dot == nullptr || std::strcmp(dot, ".tga") != 0) return false;
    return std::strncmp(name, base, baseLen) == 0;
}

// The next entry of dir, or null at the end of the directory. A failed read (an I/O error, a
// directory removed meanwhile) is not an end: taken for one, it would silently drop the slices
// after it. readdir tells the two apart only by errno, so errno is cleared right before each call.
const dirent *nextEntry(DIR *dir) {
    errno = 0;
    const dirent *entry = readdir(dir);
    if (entry == nullptr && errno != 0) errExit();
    return entry;
}

// The directory changed between the two passes: the list no longer says what the stack is.
[[noreturn]] void consistencyStop() {
    std::fprintf(stderr, "%s: mkTodos: check 'ntodo == n' failed: the directory changed while it "
                         "was read\n",
                 prog);
    std::exit(1);
}

} // namespace

int cmpNames(const void *a, const void *b) {
    return std::strcmp(*static_cast<char *const *>(a), *static_cast<char *const *>(b));
}

std::uint64_t mkTodos(const char *base) {
    char cwd[1024] = {};
    if (getcwd(cwd, sizeof cwd) == nullptr) errExit();
    DIR *dir = opendir(cwd);
    if (dir == nullptr) errExit();
    const std::size_t baseLen = std::strlen(base);

    std::uint64_t n = 0;
    while (const dirent *entry = nextEntry(dir))
        if (isSliceName(entry->d_name, base, baseLen)) n++;
    if (n == 0 || n > maxSlices) {
        closedir(dir);
        return 0;
    }

    todo = static_cast<char **>(std::calloc(n + 1, sizeof *todo));
    if (todo == nullptr) errExit();
    rewinddir(dir);
    while (const dirent *entry = nextEntry(dir)) {
        if (!isSliceName(entry->d_name, base, baseLen)) continue;
        if (ntodo == n) consistencyStop(); // more matches than counted: never write past the list
        todo[ntodo] = strdup(entry->d_name);
        if (todo[ntodo] == nullptr) errExit();
        ntodo++;
    }
    if (closedir(dir) != 0) errExit();
    if (ntodo != n) consistencyStop();

    std::qsort(todo, n, sizeof *todo, cmpNames);
    return ntodo;
}

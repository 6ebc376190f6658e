// The slice's name gives the basename: shape017.tga belongs to the stack of "shape", the name
// without .tga and without the digits before it. The stack is converted by the program itself,
// started again in the slice's folder with the basename and in this console, so that the run is
// exactly a run of `slicevol shape` there: the same lines, statuses and volumes. Afterwards the
// volumes are looked at, so that the last line says what is in the folder now: three whole
// volumes, or which were left and whether they are whole (a process ended from outside, by Task
// Manager's End task, cleans nothing up, and may even report success).
#include "drop/dropRun.h"
#include "conversion/mkDf3s.h"
#include "run/errExit.h"
#include "run/messages.h"
#include "system/directory.h"
#include "system/process.h"
#include "system/errors.h"
#include "system/sliceFile.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A new copy of the first `size` bytes of `text`, kept for the whole run; errExit without memory.
char *copyOf(const char *text, std::size_t size) {
    char *copy = static_cast<char *>(std::malloc(size + 1));
    if (copy == nullptr) errExit();
    std::memcpy(copy, text, size);
    copy[size] = '\0';
    return copy;
}

enum class Volume { absent, whole, partial };

// Whether a volume is there, and whether it holds as many bytes as its own header says:
// 6 + x * y * z, the sizes big-endian. One that cannot be opened but is there counts as partial.
Volume volumeState(const char *name) {
    const int file = openSlice(name);
    if (file == -1) return errno == ENOENT ? Volume::absent : Volume::partial;
    unsigned char header[6], last;
    bool whole = readSliceAt(file, header, sizeof header, 0) == sizeof header;
    if (whole) {
        const std::uint64_t size = 6 + std::uint64_t{header[0] * 256u + header[1]} *
                                           (header[2] * 256u + header[3]) *
                                           (header[4] * 256u + header[5]);
        whole =
            readSliceAt(file, &last, 1, size - 1) == 1 && readSliceAt(file, &last, 1, size) == 0;
    }
    closeSlice(file);
    return whole ? Volume::whole : Volume::partial;
}

// Says what a drop of something that is no slice of a stack needs instead, and answers status 1.
int refuse(const char *format, const char *what) {
    say(Stream::out, format, what);
    return 1;
}

// The names of the volumes in `state` among `states`, joined by ", ", into `list`.
void listVolumes(char *const names[3], const Volume states[3], Volume state, char *list,
                 std::size_t size) {
    std::size_t used = 0;
    list[0] = '\0';
    for (int c = 0; c < 3; c++)
        if (states[c] == state && used < size)
            used += std::snprintf(list + used, size - used, "%s%s", used > 0 ? ", " : "", names[c]);
}

// Runs the stack of `base` in the working directory and says how it went.
int convert(const char *folder, const char *base) {
    char *names[3];
    for (int c = 0; c < 3; c++) names[c] = df3NameOf(base, c);
    // Volumes of an earlier run make slicevol refuse: said here, with what to do.
    for (int c = 0; c < 3; c++)
        if (volumeState(names[c]) != Volume::absent) {
            say(Stream::out,
                "%s is already in %s, from an earlier run: slicevol never replaces a file.\n"
                "Move %s, %s and %s elsewhere (or delete them), then drop the slice again.\n",
                names[c], folder, names[0], names[1], names[2]);
            return 1;
        }
    say(Stream::out, "In %s:\nslicevol \"%s\"\n", folder, base);
    int status;
    if (!runAgain(base, &status)) errExit();
    // None of the volumes was there before the run: any there now is what the run left.
    Volume states[3];
    for (int c = 0; c < 3; c++) states[c] = volumeState(names[c]);
    if (status == 0 && states[0] == Volume::whole && states[1] == Volume::whole &&
        states[2] == Volume::whole) {
        say(Stream::out, "Done: %s, %s and %s are in %s.\n", names[0], names[1], names[2], folder);
        return 0;
    }
    say(Stream::out, "slicevol stopped with status %d.\n", status);
    char list[3 * 1100];
    listVolumes(names, states, Volume::partial, list, sizeof list);
    if (list[0] != '\0')
        say(Stream::out,
            "It left unfinished volumes, which hold no whole stack: delete them, then drop the "
            "slice again: %s\n",
            list);
    listVolumes(names, states, Volume::whole, list, sizeof list);
    if (list[0] != '\0') say(Stream::out, "These volumes are complete and were kept: %s\n", list);
    if (states[0] == Volume::absent && states[1] == Volume::absent && states[2] == Volume::absent)
        say(Stream::out, "It left no volume behind.\n");
    return status != 0 ? status : 1;
}

} // namespace

bool isDroppedPath(const char *argument) {
    return std::strchr(argument, '\\') != nullptr || std::strchr(argument, '/') != nullptr;
}

int dropRun(const char *path) {
    // The folder keeps its separator where it would be a drive alone (C:\) or nothing (\).
    std::size_t split = std::strlen(path);
    while (!isSeparator(path[split - 1])) split--;
    const char *name = path + split;
    const bool bare = split == 1 || path[split - 2] == ':';
    char *folder = copyOf(path, bare ? split : split - 1);

    const std::size_t size = std::strlen(name);
    const char *extension = size >= 4 ? name + size - 4 : "";
    bool tga = size >= 4;
    for (int i = 0; tga && i < 4; i++) tga = lowerCase(extension[i]) == ".tga"[i];
    if (!tga)
        return refuse("\"%s\" is not a slice: slices are .tga files, such as shape017.tga.\n",
                      name);
    if (std::strcmp(extension, ".tga") != 0)
        return refuse("\"%s\" does not end in .tga in lower case: slicevol takes only such names.\n"
                      "Rename the slices so that they end in .tga, then drop one again.\n",
                      name);
    std::size_t digits = size - 4;
    while (digits > 0 && isDigit(name[digits - 1])) digits--;
    if (digits == size - 4)
        return refuse("\"%s\" has no number before .tga, so it belongs to no numbered stack: a "
                      "drop needs slices "
                      "named like shape000.tga, shape001.tga, ... (or run slicevol with the "
                      "basename in a console).\n",
                      name);
    if (digits == 0)
        return refuse("\"%s\" has only digits before .tga: to convert every .tga file of its "
                      "folder as one stack, "
                      "run  slicevol \"\"  there in a console.\n",
                      name);

    // The slice must be there, in a folder that can be made the working directory.
    int slice = -1;
    if (enterFolder(folder)) slice = openSlice(name);
    if (slice == -1) {
        if (errno == ENOENT || errno == ENOTDIR) return refuse("\"%s\" is not there.\n", path);
        say(Stream::out, "\"%s\" cannot be read: %s.\n", path, errorText(errno));
        return 1;
    }
    closeSlice(slice);
    return convert(folder, copyOf(name, digits));
}

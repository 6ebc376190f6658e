/* Preloaded into slicevol by the tests to make one library call misbehave on purpose. Each fault is
 * switched on by an environment variable; without it every call goes straight to the C library.
 *
 *   SHIM_STATVFS=fail            statvfs fails with EIO
 *   SHIM_STATVFS=B,F,A           statvfs reports block size B, fragment size F, A available blocks
 *   SHIM_REWINDDIR=+NAME|-NAME   creates or deletes NAME in the working directory between the
 *                                two directory passes (just before the rewind)
 *   SHIM_CLOSE_FAIL=SUFFIX       close of a file whose path ends in SUFFIX closes it, then
 *                                reports failure with ENOSPC, like a flush that found the disk full
 *   SHIM_READDIR_FAIL=N          readdir fails with EIO after N entries of each directory pass
 *   SHIM_STOP_AT_OPEN=NAME       opening NAME first stops the process (SIGSTOP) right after the
 *                                open, so a test can act at a known point of the run
 *   SHIM_STOP_AT_PROGRESS=NAME   the progress line of NAME first stops the process
 *   SHIM_SLOW_WRITES=US          every write to a volume waits US microseconds first, so that
 *                                the volumes' writes lag behind everything else the run does
 *   SHIM_WRITE_FAIL=SUFFIX:N     the Nth write to a file whose path ends in SUFFIX writes
 *                                nothing and fails with ENOSPC, like a disk that filled up
 *   SHIM_SHORT_WRITES=N          every write to a volume takes at most N bytes and succeeds, as
 *                                FUSE and network file systems may answer
 *   SHIM_SLOW_READ=SUFFIX:US     every read of a file whose path ends in SUFFIX waits US
 *                                microseconds first
 *   SHIM_FAILING=SUFFIX:CALLS    the calls named in CALLS (of fallocate, ftruncate and unlink,
 *                                comma-separated) fail on a file whose path ends in SUFFIX:
 *                                fallocate with ENOSPC, ftruncate with EIO, unlink with EACCES
 *
 * It defines the plain calls and their 64-bit twins (open and open64, ...) side by side, so it
 * must see them apart: the build's 64-bit offset switches would make each plain name the twin.
 */
#undef _FILE_OFFSET_BITS
#undef _TIME_BITS
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/types.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/statvfs.h>
#include <unistd.h>

/* The C library's own definition of a call, as a function pointer of the given type. */
#define NEXT(type, name) ((type)(uintptr_t)dlsym(RTLD_NEXT, name))

/* The figures a statvfs call reports, or -1 when the fault is an outright failure. */
static int fakeFigures(unsigned long *bsize, unsigned long *frsize, unsigned long *avail) {
    const char *fault = getenv("SHIM_STATVFS");
    if (!fault) return 0;
    if (strcmp(fault, "fail") == 0) {
        errno = EIO;
        return -1;
    }
    return sscanf(fault, "%lu,%lu,%lu", bsize, frsize, avail) == 3;
}

/* statvfs and statvfs64 differ only in their struct's name. */
#define FAKE_STATVFS(call, type)                                                                   \
    int call(const char *path, type *buf) {                                                        \
        unsigned long bsize, frsize, avail;                                                        \
        int fake = fakeFigures(&bsize, &frsize, &avail);                                           \
        if (fake < 0) return -1;                                                                   \
        int result = NEXT(int (*)(const char *, type *), #call)(path, buf);                        \
        if (result != 0 || !fake) return result;                                                   \
        buf->f_bsize = bsize;                                                                      \
        buf->f_frsize = frsize;                                                                    \
        buf->f_bavail = avail;                                                                     \
        return 0;                                                                                  \
    }

FAKE_STATVFS(statvfs, struct statvfs)
FAKE_STATVFS(statvfs64, struct statvfs64)

/* Entries answered since the directory was opened or rewound. */
static long entriesRead;

#define FAIL_READDIR(call, type)                                                                   \
    type *call(DIR *dir) {                                                                         \
        const char *fault = getenv("SHIM_READDIR_FAIL");                                           \
        if (fault && entriesRead == atol(fault)) {                                                 \
            errno = EIO;                                                                           \
            return NULL;                                                                           \
        }                                                                                          \
        entriesRead++;                                                                             \
        return NEXT(type * (*)(DIR *), #call)(dir);                                                \
    }

FAIL_READDIR(readdir, struct dirent)
FAIL_READDIR(readdir64, struct dirent64)

void rewinddir(DIR *dir) {
    const char *fault = getenv("SHIM_REWINDDIR");
    void (*real)(DIR *) = NEXT(void (*)(DIR *), "rewinddir");
    if (fault && fault[0] == '+') close(open(fault + 1, O_WRONLY | O_CREAT, 0666));
    if (fault && fault[0] == '-') unlink(fault + 1);
    entriesRead = 0;
    real(dir);
}

/* The path of the file open as fd, into path (empty if it cannot be had). */
static const char *pathOf(int fd, char (*path)[4096]) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, *path, sizeof *path - 1);
    (*path)[n < 0 ? 0 : n] = '\0';
    return *path;
}

static int endsWith(const char *path, const char *suffix) {
    size_t n = strlen(path), len = strlen(suffix);
    return n >= len && strcmp(path + n - len, suffix) == 0;
}

static int pathEndsWith(int fd, const char *suffix) {
    char path[4096];
    return endsWith(pathOf(fd, &path), suffix);
}

/* For a setting SUFFIX:VALUE in the variable: VALUE when path ends in SUFFIX, else NULL. */
static const char *valueFor(const char *variable, const char *path) {
    const char *setting = getenv(variable);
    const char *colon = setting ? strrchr(setting, ':') : NULL;
    if (!colon) return NULL;
    char suffix[256];
    snprintf(suffix, sizeof suffix, "%.*s", (int)(colon - setting), setting);
    return endsWith(path, suffix) ? colon + 1 : NULL;
}

int close(int fd) {
    const char *fault = getenv("SHIM_CLOSE_FAIL");
    int failing = fault && pathEndsWith(fd, fault);
    int result = NEXT(int (*)(int), "close")(fd);
    if (!failing) return result;
    errno = ENOSPC;
    return -1;
}

/* Whether SHIM_FAILING names CALL for the file at path. */
static int failing(const char *call, const char *path) {
    const char *calls = valueFor("SHIM_FAILING", path);
    char list[256], named[64];
    snprintf(list, sizeof list, ",%s,", calls ? calls : "");
    snprintf(named, sizeof named, ",%s,", call);
    return strstr(list, named) != NULL;
}

#define FAIL_FALLOCATE(call, offset)                                                               \
    int call(int fd, int mode, offset at, offset size) {                                           \
        char path[4096];                                                                           \
        if (failing("fallocate", pathOf(fd, &path))) {                                             \
            errno = ENOSPC;                                                                        \
            return -1;                                                                             \
        }                                                                                          \
        return NEXT(int (*)(int, int, offset, offset), #call)(fd, mode, at, size);                 \
    }
#define FAIL_FTRUNCATE(call, offset)                                                               \
    int call(int fd, offset size) {                                                                \
        char path[4096];                                                                           \
        if (failing("ftruncate", pathOf(fd, &path))) {                                             \
            errno = EIO;                                                                           \
            return -1;                                                                             \
        }                                                                                          \
        return NEXT(int (*)(int, offset), #call)(fd, size);                                        \
    }

FAIL_FALLOCATE(fallocate, off_t)
FAIL_FALLOCATE(fallocate64, off64_t)
FAIL_FTRUNCATE(ftruncate, off_t)
FAIL_FTRUNCATE(ftruncate64, off64_t)

int unlink(const char *path) {
    char whole[4096]; /* a name in the working directory, as if with its folder's path */
    snprintf(whole, sizeof whole, "/%s", path);
    if (failing("unlink", whole)) {
        errno = EACCES;
        return -1;
    }
    return NEXT(int (*)(const char *), "unlink")(path);
}

#define SLOW_PREAD(call, offset)                                                                   \
    ssize_t call(int fd, void *data, size_t size, offset at) {                                     \
        char path[4096];                                                                           \
        const char *delay = valueFor("SHIM_SLOW_READ", pathOf(fd, &path));                         \
        if (delay) usleep((useconds_t)atol(delay));                                                \
        return NEXT(ssize_t(*)(int, void *, size_t, offset), #call)(fd, data, size, at);           \
    }

SLOW_PREAD(pread, off_t)
SLOW_PREAD(pread64, off64_t)

/* The progress line of the slice SHIM_STOP_AT_PROGRESS names, written to standard output. */
static void stopAtProgress(int fd, const char *text, size_t size) {
    const char *stopAt = getenv("SHIM_STOP_AT_PROGRESS");
    if (!stopAt || fd != 1) return;
    char line[4096];
    snprintf(line, sizeof line, "adding file '%s'\n", stopAt);
    if (size == strlen(line) && memcmp(text, line, size) == 0) raise(SIGSTOP);
}

/* Writes so far to the file SHIM_WRITE_FAIL names; any thread may write. */
static _Atomic long failingWrites;

ssize_t write(int fd, const void *data, size_t size) {
    stopAtProgress(fd, data, size);
    char path[4096];
    if (endsWith(pathOf(fd, &path), ".df3")) {
        const char *delay = getenv("SHIM_SLOW_WRITES");
        if (delay) usleep((useconds_t)atol(delay));
        const char *most = getenv("SHIM_SHORT_WRITES");
        if (most && size > (size_t)atol(most)) size = (size_t)atol(most);
        const char *nth = valueFor("SHIM_WRITE_FAIL", path);
        if (nth && ++failingWrites == atol(nth)) {
            errno = ENOSPC;
            return -1;
        }
    }
    return NEXT(ssize_t(*)(int, const void *, size_t), "write")(fd, data, size);
}

/* open and open64 take a mode only when they create. */
#define STOP_THEN_OPEN(call)                                                                       \
    int call(const char *path, int flags, ...) {                                                   \
        const char *stopAt = getenv("SHIM_STOP_AT_OPEN");                                          \
        mode_t mode = 0;                                                                           \
        if (flags & (O_CREAT | O_TMPFILE)) {                                                       \
            va_list args;                                                                          \
            va_start(args, flags);                                                                 \
            mode = va_arg(args, mode_t);                                                           \
            va_end(args);                                                                          \
        }                                                                                          \
        int fd = NEXT(int (*)(const char *, int, ...), #call)(path, flags, mode);                  \
        if (stopAt && strcmp(path, stopAt) == 0) {                                                 \
            int error = errno;                                                                     \
            raise(SIGSTOP);                                                                        \
            errno = error;                                                                         \
        }                                                                                          \
        return fd;                                                                                 \
    }

STOP_THEN_OPEN(open)
STOP_THEN_OPEN(open64)

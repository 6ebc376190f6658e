// Slices through the Win32 API: names are UTF-8, taken to UTF-16 for CreateFileW, and slices are
// read with ReadFile at explicit offsets. No byte is ever translated: text mode, the classic fault
// of C tools on Windows, would stop a slice at its first 0x1A byte.
#include "system/sliceFile.h"
#include "system/errors.h"
#include "system/windows/win32.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

int openSlice(const char *name) {
    // A directory opens only with backup semantics; it then fails at its first read, as on POSIX.
    const HANDLE file =
        openByName(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS);
    if (file == INVALID_HANDLE_VALUE) return -1;
    // A pipe or a device named like a slice cannot be read at an offset: it fails here, at once.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        errno = ESPIPE;
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd == -1) CloseHandle(file);
    return fd;
}

std::size_t readSliceAt(int fd, void *buf, std::size_t size, std::uint64_t offset) {
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    std::size_t done = 0;
    while (done < size) {
        const std::uint64_t at = offset + done;
        OVERLAPPED where = {};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        const std::size_t left = size - done;
        const DWORD ask = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(file, static_cast<unsigned char *>(buf) + done, ask, &got, &where)) {
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF) errno = noDataError;
            // What reading a directory's handle answers.
            else if (error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_PARAMETER)
                errno = EISDIR;
            else setErrnoFromWin32(error);
            break;
        }
        if (got == 0) {
            errno = noDataError;
            break;
        }
        done += got;
    }
    return done;
}

void closeSlice(int fd) { _close(fd); }

// Files through the Win32 API: names are UTF-8, taken to UTF-16 for CreateFileW; slices are read
// with ReadFile at explicit offsets, volumes written through binary C streams. No byte is ever
// translated: text mode, the classic fault of C tools on Windows, would stop a slice at its first
// 0x1A byte and write every 0x0A of a volume as 0x0D 0x0A.
#include "system/files.h"
#include "system/buffering.h"
#include "system/windows/win32.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

namespace {

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION &info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Marks the file open as `file` for deletion as soon as its last handle closes.
bool deleteOnClose(HANDLE file) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// CreateFileW with a UTF-8 name; INVALID_HANDLE_VALUE with errno set on failure.
HANDLE openByName(const char *name, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    wchar_t *wide = toWide(name);
    if (wide == nullptr) return INVALID_HANDLE_VALUE;
    const HANDLE file = CreateFileW(wide, access, share, nullptr, disposition, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) setErrnoFromWin32();
    std::free(wide);
    return file;
}

} // namespace

int openForReading(const char *name) {
    // A directory opens only with backup semantics; it then fails at its first read, as on POSIX.
    const HANDLE file = openByName(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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

std::size_t readAt(int fd, void *buf, std::size_t size, std::uint64_t offset) {
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
            else if (error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_PARAMETER) errno = EISDIR;
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

void closeForReading(int fd) { _close(fd); }

FILE *createExclusive(const char *name, std::uint64_t, FileIdentity *identity) {
    // CREATE_NEW makes the test and the create one step, so an existing file is never truncated.
    // DELETE access lets a failure below delete it through this very handle.
    const HANDLE file = openByName(name, GENERIC_WRITE | DELETE, FILE_SHARE_READ, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION info;
    int fd = -1;
    FILE *out = nullptr;
    if (GetFileInformationByHandle(file, &info)) {
        *identity = identityOf(info);
        fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
        if (fd != -1) out = _fdopen(fd, "wb");
        if (out != nullptr && setBuffering(out, _IONBF)) return out;
    } else {
        setErrnoFromWin32();
    }
    const int error = errno;
    deleteOnClose(file);
    if (out != nullptr) std::fclose(out);
    else if (fd != -1) _close(fd);
    else CloseHandle(file);
    errno = error;
    return nullptr;
}

int deleteIfOurs(const char *name, const FileIdentity &identity) {
    // The name is opened, its file compared and deleted through one handle: no other file can
    // take the name in between. A link is opened itself, not what it leads to.
    const HANDLE file = openByName(name, DELETE | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS);
    if (file == INVALID_HANDLE_VALUE) return errno == ENOENT ? 0 : errno;
    int error = 0;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) {
        setErrnoFromWin32();
        error = errno;
    } else {
        const FileIdentity now = identityOf(info);
        if (now.volume == identity.volume && now.index == identity.index && !deleteOnClose(file)) {
            setErrnoFromWin32();
            error = errno;
        }
    }
    CloseHandle(file);
    return error;
}

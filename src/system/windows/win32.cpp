#include "system/windows/win32.h"
#include "system/errors.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

wchar_t *toWide(const char *utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    if (size == 0) {
        setErrnoFromWin32();
        return nullptr;
    }
    auto *wide =
        static_cast<wchar_t *>(std::malloc(sizeof(wchar_t) * static_cast<std::size_t>(size)));
    if (wide == nullptr) return nullptr;
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, size) != size) {
        setErrnoFromWin32();
        std::free(wide);
        return nullptr;
    }
    return wide;
}

HANDLE openByName(const char *name, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    wchar_t *wide = toWide(name);
    if (wide == nullptr) return INVALID_HANDLE_VALUE;
    const HANDLE file = CreateFileW(wide, access, share, nullptr, disposition, flags, nullptr);
    // free may change the last error: it is kept for the callers that read it themselves.
    const DWORD error = GetLastError();
    std::free(wide);
    if (file == INVALID_HANDLE_VALUE) setErrnoFromWin32(error);
    SetLastError(error);
    return file;
}

bool writeAll(HANDLE file, const void *data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const std::size_t left = size - done;
        DWORD wrote = 0;
        if (!WriteFile(file, static_cast<const unsigned char *>(data) + done,
                       left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left), &wrote,
                       nullptr)) {
            setErrnoFromWin32();
            return false;
        }
        if (wrote == 0) {
            errno = noDataError;
            return false;
        }
        done += wrote;
    }
    return true;
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION &info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool toUtf8(const wchar_t *wide, char *out, int size, DWORD flags) {
    if (WideCharToMultiByte(CP_UTF8, flags, wide, -1, out, size, nullptr, nullptr) != 0)
        return true;
    setErrnoFromWin32();
    return false;
}

namespace {

// Each thread's own: a worker's failure never replaces the other's code.
thread_local DWORD unmapped;

} // namespace

DWORD unmappedWin32Error() { return unmapped; }
void keepUnmappedWin32Error(DWORD error) { unmapped = error; }

void setErrnoFromWin32(DWORD error) {
    unmapped = 0;
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: errno = EACCES; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: errno = ENOMEM; break;
    case ERROR_INSUFFICIENT_BUFFER:
    case ERROR_FILENAME_EXCED_RANGE: errno = ERANGE; break;
    case ERROR_DIRECTORY: errno = ENOTDIR; break;
    case ERROR_NO_UNICODE_TRANSLATION:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER: errno = EINVAL; break;
    default:
        errno = EIO;
        unmapped = error;
        break;
    }
}

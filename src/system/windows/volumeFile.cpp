// Volumes on Windows: created through CreateFileW with a UTF-8 name taken to UTF-16, written through
// a binary C stream, deleted by name through one handle.
#include "system/volumeFile.h"
#include "system/windows/win32.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

namespace {

FILE *streamOf(const VolumeFile &volume) { return reinterpret_cast<FILE *>(volume.handle); }

// Marks the file open as `file` for deletion as soon as its last handle closes.
bool deleteOnClose(HANDLE file) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

} // namespace

bool createVolume(const char *name, std::uint64_t, VolumeFile *volume) {
    // CREATE_NEW makes the test and the create one step, so an existing file is never truncated.
    // DELETE access lets a failure below delete it through this very handle.
    const HANDLE file = openByName(name, GENERIC_WRITE | DELETE, FILE_SHARE_READ, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    int fd = -1;
    FILE *out = nullptr;
    if (GetFileInformationByHandle(file, &info)) {
        volume->identity = identityOf(info);
        fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
        if (fd != -1) out = _fdopen(fd, "wb");
        errno = 0;
        if (out != nullptr && std::setvbuf(out, nullptr, _IONBF, 0) == 0) {
            volume->handle = reinterpret_cast<std::intptr_t>(out);
            return true;
        }
        if (errno == 0) errno = EINVAL;
    } else {
        setErrnoFromWin32();
    }
    const int error = errno;
    deleteOnClose(file);
    if (out != nullptr) std::fclose(out);
    else if (fd != -1) _close(fd);
    else CloseHandle(file);
    errno = error;
    return false;
}

bool writeVolume(const VolumeFile &volume, const void *data, std::size_t size) {
    errno = 0;
    if (std::fwrite(data, 1, size, streamOf(volume)) == size) return true;
    if (errno == 0) errno = noDataError;
    return false;
}

bool closeVolume(VolumeFile *volume) {
    errno = 0;
    const bool closed = std::fclose(streamOf(*volume)) == 0;
    volume->handle = -1;
    if (!closed && errno == 0) errno = EIO;
    return closed;
}

int discardVolume(VolumeFile *volume, const char *name) {
    if (volume->handle != -1) {
        std::fclose(streamOf(*volume));
        volume->handle = -1;
    }
    return deleteVolumeByName(name, volume->identity);
}

int deleteVolumeByName(const char *name, const FileIdentity &identity) {
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

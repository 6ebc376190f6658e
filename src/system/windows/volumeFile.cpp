// Volumes on Windows: a handle each from CreateFileW (the UTF-8 name taken to UTF-16), written with
// WriteFile, so that a full disk is told as ERROR_DISK_FULL whatever the C runtime would make of
// it, and no byte is ever translated. An unfinished volume is deleted through the handle that wrote
// it: no other program can open it between a close and a delete by name.
#include "system/volumeFile.h"
#include "system/windows/win32.h"

#include <cerrno>

namespace {

HANDLE handleOf(const VolumeFile &volume) { return reinterpret_cast<HANDLE>(volume.handle); }

// FileDispositionInfoEx and its flags (Windows 10 1709), which the headers show only to programs
// built for Windows 10 alone; this one also runs on Windows 7.
constexpr auto dispositionEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD deleteFlag = 0x1, posixSemantics = 0x2;
struct DispositionEx {
    DWORD flags;
};

// Marks the file open as `file` for deletion. With POSIX semantics (Windows 10 1709 and later) the
// name goes at once, even while another program has the file open; elsewhere the file goes as soon
// as its last handle closes.
bool markForDeletion(HANDLE file) {
    DispositionEx now = {deleteFlag | posixSemantics};
    if (SetFileInformationByHandle(file, dispositionEx, &now, sizeof now)) return true;
    FILE_DISPOSITION_INFO atLastClose = {TRUE};
    return SetFileInformationByHandle(file, FileDispositionInfo, &atLastClose,
                                      sizeof atLastClose) != 0;
}

// A scanner or a sync tool that opened the file without delete sharing makes a delete fail for a
// moment. Retried for about a second, as such programs hold a file for milliseconds.
bool isTransient(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
}
constexpr int deleteTries = 20;
constexpr DWORD deletePause = 50; // milliseconds

// One try of deleteVolumeByName: 0, or the Win32 error.
DWORD deleteOnce(const char *name, const FileIdentity &identity) {
    // The name is opened, its file compared and deleted through one handle: no other file can
    // take the name in between. A link is opened itself, not what it leads to.
    const HANDLE file = openByName(
        name, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
    }
    DWORD error = 0;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) {
        error = GetLastError();
    } else {
        const FileIdentity now = identityOf(info);
        if (now.volume == identity.volume && now.index == identity.index && !markForDeletion(file))
            error = GetLastError();
    }
    CloseHandle(file);
    return error;
}

} // namespace

bool createVolume(const char *name, std::uint64_t, VolumeFile *volume) {
    // CREATE_NEW makes the test and the create one step, so an existing file is never truncated.
    // DELETE access lets an unfinished volume be deleted through this very handle.
    const HANDLE file = openByName(name, GENERIC_WRITE | DELETE, FILE_SHARE_READ, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE) return false;
    // Without its identity the new file is still deleted through this handle by the caller.
    volume->handle = reinterpret_cast<std::intptr_t>(file);
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) {
        setErrnoFromWin32();
        return false;
    }
    volume->identity = identityOf(info);
    return true;
}

bool writeVolume(const VolumeFile &volume, const void *data, std::size_t size) {
    return writeAll(handleOf(volume), data, size);
}

bool closeVolume(VolumeFile *volume) {
    const bool closed = CloseHandle(handleOf(*volume)) != 0;
    if (!closed) setErrnoFromWin32();
    volume->handle = -1;
    return closed;
}

int discardVolume(VolumeFile *volume, const char *name) {
    if (volume->handle != -1) {
        const bool marked = markForDeletion(handleOf(*volume));
        CloseHandle(handleOf(*volume));
        volume->handle = -1;
        if (marked) return 0;
    }
    // Its final close failed, or the mark was refused: only the name is left to go by.
    return deleteVolumeByName(name, volume->identity);
}

int deleteVolumeByName(const char *name, const FileIdentity &identity) {
    DWORD error = deleteOnce(name, identity);
    for (int tries = 1; isTransient(error) && tries < deleteTries; tries++) {
        Sleep(deletePause);
        error = deleteOnce(name, identity);
    }
    if (error == 0) return 0;
    setErrnoFromWin32(error);
    return errno;
}

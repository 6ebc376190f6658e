// The working directory through FindFirstFileW and FindNextFileW, names in UTF-8: the same bytes,
// and so the same byte order, as a POSIX system shows for the same names.
#include "system/directory.h"
#include "system/windows/win32.h"

#include <cerrno>
#include <cstdlib>
#include <cwchar>

struct Directory {
    wchar_t pattern[1024 + 2]; // the working directory, then "\*"
    HANDLE search;
    WIN32_FIND_DATAW found;
    bool pending;                // `found` holds an entry not yet answered
    char name[MAX_PATH * 3 + 1]; // an entry's name in UTF-8 (up to 3 bytes a UTF-16 unit)
};

namespace {

Directory opened; // one directory at a time is all the run reads

// Starts a pass; a directory with no entry at all (a drive's empty root) starts one too.
bool startPass(Directory *dir) {
    dir->search = FindFirstFileW(dir->pattern, &dir->found);
    if (dir->search == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) {
        setErrnoFromWin32();
        return false;
    }
    dir->pending = dir->search != INVALID_HANDLE_VALUE;
    return true;
}

} // namespace

Directory *openWorkingDirectory() {
    wchar_t cwd[1024];
    const DWORD length = GetCurrentDirectoryW(1024, cwd);
    if (length == 0) {
        setErrnoFromWin32();
        return nullptr;
    }
    // The same limit as on POSIX: the path in UTF-8, with its terminator, fits 1024 bytes.
    char utf8[1024];
    if (length >= 1024 || !toUtf8(cwd, utf8, sizeof utf8)) {
        errno = ERANGE;
        return nullptr;
    }
    std::swprintf(opened.pattern, sizeof opened.pattern / sizeof *opened.pattern, L"%ls\\*", cwd);
    return startPass(&opened) ? &opened : nullptr;
}

const char *nextEntryName(Directory *dir) {
    errno = 0;
    if (dir->search == INVALID_HANDLE_VALUE) return nullptr;
    if (!dir->pending && !FindNextFileW(dir->search, &dir->found)) {
        if (GetLastError() != ERROR_NO_MORE_FILES) setErrnoFromWin32();
        return nullptr;
    }
    dir->pending = false;
    if (!toUtf8(dir->found.cFileName, dir->name, sizeof dir->name)) return nullptr;
    return dir->name;
}

bool rewindDirectory(Directory *dir) {
    if (dir->search != INVALID_HANDLE_VALUE && !FindClose(dir->search)) {
        setErrnoFromWin32();
        return false;
    }
    return startPass(dir);
}

bool closeDirectory(Directory *dir) {
    if (dir->search == INVALID_HANDLE_VALUE || FindClose(dir->search)) return true;
    setErrnoFromWin32();
    return false;
}

bool enterFolder(const char *path) {
    wchar_t *wide = toWide(path);
    if (wide == nullptr) return false;
    const bool entered = SetCurrentDirectoryW(wide) != 0;
    if (!entered) setErrnoFromWin32();
    std::free(wide);
    return entered;
}

// What the Windows files of this folder share: UTF-8 names in and out of the wide-character API,
// and Win32 errors as the C library's error numbers, so that the run's error lines read the same
// on both systems.
#pragma once

#include "system/volumeFile.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstddef>

// `utf8` as UTF-16 in a new allocation (free it), or null with errno set.
wchar_t *toWide(const char *utf8);

// `wide` as UTF-8 into `out` of `size` bytes. False with errno set when it does not fit (ERANGE),
// or, with `flags` WC_ERR_INVALID_CHARS, when it is not valid UTF-16 (EINVAL).
bool toUtf8(const wchar_t *wide, char *out, int size, DWORD flags = 0);

// Sets errno to the C library's number for a Win32 error (GetLastError()'s, by default). Where no
// number fits, EIO, and the Win32 error is kept for the error line (unmappedWin32Error).
void setErrnoFromWin32(DWORD error = GetLastError());

// The Win32 error behind the latest EIO that setErrnoFromWin32 set on this thread for want of a
// better number; 0 when the latest error it set had a number of its own. keepUnmappedWin32Error
// sets it, for a failure taken over from another thread (system/errors.h).
DWORD unmappedWin32Error();
void keepUnmappedWin32Error(DWORD error);

// CreateFileW with a UTF-8 name; INVALID_HANDLE_VALUE with errno set on failure.
HANDLE openByName(const char *name, DWORD access, DWORD share, DWORD disposition, DWORD flags);

// Writes all `size` bytes to `file` with WriteFile, going on after a write cut short (a disk that
// filled up midway: the next call then says why). False with errno set when they did not all go;
// a write that moved nothing and said nothing is the "no data" error.
bool writeAll(HANDLE file, const void *data, std::size_t size);

// A file's identity from what GetFileInformationByHandle answered.
FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION &info);

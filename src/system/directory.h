// Reading the working directory's entry names, in passes. One interface, one implementation per
// system (posix/, windows/); names are the bytes the directory gives (UTF-8 on Windows).
#pragma once

struct Directory;

// Opens the working directory for reading; its path must fit 1024 bytes with its terminator (ERANGE
// if not). Null with errno set on failure.
Directory *openWorkingDirectory();

// The next entry's name, valid until the next call; null at the end of the directory (errno 0) or
// when the read failed (errno set), which is not taken for an end.
const char *nextEntryName(Directory *dir);

// Starts another pass from the first entry. False with errno set on failure.
bool rewindDirectory(Directory *dir);

// Closes the directory. False with errno set on failure.
bool closeDirectory(Directory *dir);

// Makes `path` (a folder's whole path, in UTF-8 on Windows) the working directory. False with errno
// set on failure.
bool enterFolder(const char *path);

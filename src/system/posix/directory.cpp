#include "system/directory.h"

#include <cerrno>
#include <dirent.h>
#include <unistd.h>

// The directory stream is the whole state: readdir keeps the entry until the next call.
struct Directory {
    DIR *dir;
};

Directory *openWorkingDirectory() {
    char cwd[1024] = {};
    if (getcwd(cwd, sizeof cwd) == nullptr) return nullptr;
    static Directory opened; // one directory at a time is all the run reads
    opened.dir = opendir(cwd);
    return opened.dir != nullptr ? &opened : nullptr;
}

const char *nextEntryName(Directory *dir) {
    // readdir tells a failed read from the end only by errno, so errno is cleared right before.
    errno = 0;
    const dirent *entry = readdir(dir->dir);
    return entry != nullptr ? entry->d_name : nullptr;
}

bool rewindDirectory(Directory *dir) {
    rewinddir(dir->dir); // defined with no failure
    return true;
}

bool closeDirectory(Directory *dir) { return closedir(dir->dir) == 0; }

bool enterFolder(const char *path) { return chdir(path) == 0; }

/* Keeps opening and closing a file without delete sharing, as a scanner or a sync tool does, until
 * the file STOP exists in the working directory; each time it holds the file MS milliseconds (1).
 *   usage: holdFile NAME STOP [MS] */
#define WIN32_LEAN_AND_MEAN
#include <stdlib.h>
#include <windows.h>

int wmain(int argc, wchar_t **argv) {
    if (argc != 3 && argc != 4) return 2;
    const DWORD hold = argc == 4 ? (DWORD)_wtoi(argv[3]) : 1;
    while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES) {
        HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            Sleep(hold);
            CloseHandle(file);
        }
    }
    return 0;
}

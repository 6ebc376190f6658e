/* Keeps opening and closing a file without delete sharing, as a scanner or a sync tool does, until
 * the file STOP exists in the working directory.   usage: holdFile NAME STOP */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

int wmain(int argc, wchar_t **argv) {
    if (argc != 3) return 2;
    while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES) {
        HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            Sleep(1);
            CloseHandle(file);
        }
    }
    return 0;
}

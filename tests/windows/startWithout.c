/* Starts a program with some of its standard handles missing, as a GUI front end or pythonw does,
 * waits for it and answers its exit status.   usage: startWithout WHICH COMMANDLINE
 * WHICH: digits of the handles given as none (0 input, 1 output, 2 error), or "detached" for a
 * process with no console and no handles at all. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <wchar.h>

int wmain(int argc, wchar_t **argv) {
    if (argc != 3) return 2;
    STARTUPINFOW start;
    ZeroMemory(&start, sizeof start);
    start.cb = sizeof start;
    const int detached = wcscmp(argv[1], L"detached") == 0;
    if (!detached) {
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdInput = wcschr(argv[1], L'0') ? NULL : GetStdHandle(STD_INPUT_HANDLE);
        start.hStdOutput = wcschr(argv[1], L'1') ? NULL : GetStdHandle(STD_OUTPUT_HANDLE);
        start.hStdError = wcschr(argv[1], L'2') ? NULL : GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION started;
    if (!CreateProcessW(NULL, argv[2], NULL, NULL, TRUE, detached ? DETACHED_PROCESS : 0, NULL,
                        NULL, &start, &started))
        return 3;
    DWORD status = 4;
    WaitForSingleObject(started.hProcess, INFINITE);
    GetExitCodeProcess(started.hProcess, &status);
    return (int)status;
}

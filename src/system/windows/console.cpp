// Text on Windows goes through the process's standard handles themselves, not the C runtime. To a
// console it goes as UTF-16 with WriteConsoleW, so that every name shows right under any code page
// (the console's code page is left alone: a change would outlive the run). To a file or a pipe it
// goes as the same UTF-8 bytes as on POSIX, with CR LF line ends, the Windows convention. A console
// is told by GetConsoleMode: _isatty is true for NUL too.
#include "system/console.h"
#include "system/windows/win32.h"

#include <cstdlib>

namespace {

void writeToConsole(HANDLE console, const char *text, std::size_t size) {
    // Bytes that are not UTF-8 show as U+FFFD rather than not at all.
    const int units = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0);
    if (units <= 0) return;
    auto *wide =
        static_cast<wchar_t *>(std::malloc(sizeof(wchar_t) * static_cast<std::size_t>(units)));
    if (wide == nullptr) return;
    MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), wide, units);
    for (DWORD done = 0, wrote = 0; done < static_cast<DWORD>(units); done += wrote)
        if (!WriteConsoleW(console, wide + done, static_cast<DWORD>(units) - done, &wrote,
                           nullptr) ||
            wrote == 0)
            break;
    std::free(wide);
}

// Each LF as CR LF, in pieces of a small buffer.
void writeToFile(HANDLE file, const char *text, std::size_t size) {
    char piece[512];
    std::size_t used = 0;
    for (std::size_t i = 0; i < size; i++) {
        if (text[i] == '\n') piece[used++] = '\r';
        piece[used++] = text[i];
        if (used >= sizeof piece - 1 || i + 1 == size) {
            if (!writeAll(file, piece, used)) return;
            used = 0;
        }
    }
}

} // namespace

void writeText(Stream stream, const char *text, std::size_t size) {
    const HANDLE to = GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    // Started with no such handle (a program that gave none): the text has nowhere to go.
    if (to == nullptr || to == INVALID_HANDLE_VALUE || size == 0) return;
    DWORD mode;
    if (GetConsoleMode(to, &mode)) writeToConsole(to, text, size);
    else writeToFile(to, text, size);
}

// A console of cmd or PowerShell lists them too; a redirected standard error is no console.
bool aloneInOwnConsole() {
    DWORD processes[2];
    DWORD mode;
    return GetConsoleProcessList(processes, 2) == 1 &&
           GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
}

// Any key's press; the input's other events (its release, the mouse, a resize) are passed over.
void awaitKey() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    INPUT_RECORD event;
    DWORD read = 0;
    while (ReadConsoleInputW(input, &event, 1, &read) && read == 1)
        if (event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown) return;
}

// A console window is given UTF-16, so it shows the Polish letters whatever
// its code page; a redirected stream gets UTF-8, as a file on Linux would.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/console/console_output.h"
#include "cli/console/console_text.h"

namespace {

// The code page of every text the program composes.
const UINT TextCodePage = 1250;

HANDLE HandleOf(int stream) {
    return GetStdHandle(stream == ConsoleError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

bool IsConsoleHandle(HANDLE handle) {
    DWORD mode;
    return handle != NULL && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

}  // namespace

void PrintText(int stream, const char* text) {
    stream = RoutedStream(stream);
    HANDLE handle = HandleOf(stream);
    if (IsConsoleHandle(handle)) {
        int length = MultiByteToWideChar(TextCodePage, 0, text, -1, NULL, 0);
        if (length <= 1) return;
        std::vector<wchar_t> wide(static_cast<size_t>(length));
        MultiByteToWideChar(TextCodePage, 0, text, -1, wide.data(), length);
        DWORD written;
        WriteConsoleW(handle, wide.data(), DWORD(length - 1), &written, NULL);
        return;
    }
    std::string utf8 = Utf8FromCp1250(text);
    FILE* out = stream == ConsoleError ? stderr : stdout;
    std::fwrite(utf8.data(), 1, utf8.size(), out);
    std::fflush(out);
}

bool IsConsoleTerminal(int stream) { return IsConsoleHandle(HandleOf(stream)); }

// Through the console's own calls: a console without escape sequences (before
// Windows 10, or with them turned off) moves its cursor the same.
void EraseLinesAbove(int stream, int lines) {
    HANDLE handle = HandleOf(RoutedStream(stream));
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (lines <= 0 || !GetConsoleScreenBufferInfo(handle, &info)) return;
    COORD top = {0, SHORT(info.dwCursorPosition.Y > lines ? info.dwCursorPosition.Y - lines : 0)};
    DWORD cells = DWORD(info.dwSize.X) * DWORD(info.dwCursorPosition.Y - top.Y + 1);
    DWORD written;
    FillConsoleOutputCharacterW(handle, L' ', cells, top, &written);
    FillConsoleOutputAttribute(handle, info.wAttributes, cells, top, &written);
    SetConsoleCursorPosition(handle, top);
}

int ConsoleWidth(int stream) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(HandleOf(stream), &info)) return 80;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

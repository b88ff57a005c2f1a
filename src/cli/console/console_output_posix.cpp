// Linux terminals and files take UTF-8.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli/console/console_output.h"
#include "cli/console/console_text.h"

namespace {

FILE* StreamOf(int stream) { return stream == ConsoleError ? stderr : stdout; }

}  // namespace

void PrintText(int stream, const char* text) {
    stream = RoutedStream(stream);
    std::string utf8 = Utf8FromMixedText(text);
    FILE* out = StreamOf(stream);
    std::fwrite(utf8.data(), 1, utf8.size(), out);
    std::fflush(out);
}

bool IsConsoleTerminal(int stream) { return isatty(fileno(StreamOf(stream))) == 1; }

void EraseLinesAbove(int stream, int lines) {
    std::string erase = "\r";
    // Up one line, then clear it whole: every terminal Linux has knows both.
    for (int i = 0; i < lines; ++i) erase += "\x1b[1A\x1b[2K";
    FILE* out = StreamOf(RoutedStream(stream));
    std::fwrite(erase.data(), 1, erase.size(), out);
    std::fflush(out);
}

int ConsoleWidth(int stream) {
    winsize size;
    if (ioctl(fileno(StreamOf(stream)), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

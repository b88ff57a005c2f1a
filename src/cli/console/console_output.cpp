#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/console/console_output.h"
#include "cli/system/files.h"

namespace {

bool stdoutForEvents = false;

}  // namespace

void KeepStdoutForEvents() { stdoutForEvents = true; }

int RoutedStream(int stream) { return stdoutForEvents ? ConsoleError : stream; }

void PrintEventLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PrintLine(int stream, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(&text[0], text.size() + 1, format, again);
    va_end(again);
    text += '\n';
    PrintText(stream, text.c_str());
}

void ShowSystemReason(unsigned long code) {
    PrintLine(ConsoleError, "  (%s)", SystemErrorText(code).c_str());
}

void ShowFileReason(const char* path, int error) {
    if (error != 0)
        PrintLine(ConsoleError, "  (plik %s : %s)", path, std::strerror(error));
    else
        PrintLine(ConsoleError, "  (plik %s)", path);
}

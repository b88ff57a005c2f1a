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

namespace {

void PrintFormatted(int stream, const char* format, va_list arguments) {
    PrintText(stream, (FormatValues(format, arguments) + "\n").c_str());
}

}  // namespace

void PrintLine(int stream, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    PrintFormatted(stream, format, arguments);
    va_end(arguments);
}

void PrintMessage(int stream, MessageId id, ...) {
    va_list arguments;
    va_start(arguments, id);
    PrintFormatted(stream, Say(id), arguments);
    va_end(arguments);
}

void ShowSystemReason(unsigned long code) {
    PrintLine(ConsoleError, "  (%s)", SystemErrorText(code).c_str());
}

void ShowFileReason(const char* path, int error) {
    if (error != 0)
        PrintMessage(ConsoleError, MsgFileReason, path, std::strerror(error));
    else
        PrintMessage(ConsoleError, MsgFileNamed, path);
}

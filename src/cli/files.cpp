#include <fstream>

#include "cli/files.h"

#include "cli/console_output.h"

long long FileSizeOf(const char* path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file.is_open()) return -1;
    return static_cast<long long>(file.tellg());
}

void ShowSystemReason(unsigned long code) {
    PrintLine(ConsoleError, "  (%s)", SystemErrorText(code).c_str());
}

#include <fstream>

#include "cli/system/files.h"

std::string NameInPath(const std::string& path) {
    size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

long long FileSizeOf(const char* path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file.is_open()) return -1;
    return static_cast<long long>(file.tellg());
}

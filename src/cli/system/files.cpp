#include <fstream>

#include "cli/system/files.h"

long long FileSizeOf(const char* path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file.is_open()) return -1;
    return static_cast<long long>(file.tellg());
}

#include "transfer/file_probe.h"

#include <windows.h>

int ProbeFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileMissing;
    return (attributes & FILE_ATTRIBUTE_READONLY) ? FileReadOnly : FileWritable;
}

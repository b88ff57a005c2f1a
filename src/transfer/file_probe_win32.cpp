#include "transfer/file_probe.h"

#include <windows.h>

FileState ProbeFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileMissing;
    return (attributes & FILE_ATTRIBUTE_READONLY) ? FileReadOnly : FileWritable;
}

// The attributes alone do not tell a pipe or a device name (NUL, COM1,
// \\.\pipe\...) from a file; the type of an open handle does. Asking for the
// attributes only never waits for the other end of a pipe.
bool IsDiskFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return false;
    HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool disk = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return disk;
}

#include <windows.h>

#include "cli/system/files.h"

namespace {

DWORD lastError = 0;

FileOutcome Outcome(bool done) {
    if (done) return FileOperationDone;
    lastError = GetLastError();
    return FileOperationFailed;
}

// A folder that already exists counts as made.
FileOutcome MakeFolder(const char* path) {
    if (CreateDirectoryA(path, NULL)) return FileOperationDone;
    DWORD error = GetLastError();
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FileOperationDone;
    lastError = error;
    return FileOperationFailed;
}

}  // namespace

FileOutcome MoveFileOver(const char* from, const char* to) {
    return Outcome(MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0);
}

std::string PathInFolder(const std::string& folder, const char* name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
    return folder + "\\" + name;
}

PathKind KindOfPath(const char* path, bool followLinks) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        lastError = GetLastError();
        return PathMissing;
    }
    if (!followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return PathLink;
    if (followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // The attributes are the link's own: what it leads to decides.
        HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            lastError = GetLastError();
            return PathMissing;
        }
        BY_HANDLE_FILE_INFORMATION info;
        BOOL known = GetFileInformationByHandle(file, &info);
        CloseHandle(file);
        if (!known) return PathOther;
        attributes = info.dwFileAttributes;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathFolder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return PathOther;
    // A name such as COM1 or NUL is a device whatever the attributes say.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file == INVALID_HANDLE_VALUE) return PathRegular;
    DWORD type = GetFileType(file);
    CloseHandle(file);
    return type == FILE_TYPE_DISK ? PathRegular : PathOther;
}

FileOutcome CreateFileExclusively(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file == INVALID_HANDLE_VALUE) return Outcome(false);
    CloseHandle(file);
    return FileOperationDone;
}

FileOutcome RemoveFileOrLink(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    // A link to a folder (a junction) is removed as a folder, which removes only the link.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return Outcome(RemoveDirectoryA(path) != 0);
    return Outcome(DeleteFileA(path) != 0);
}

FileOutcome RecordFileError(unsigned long code) {
    lastError = decltype(lastError)(code);
    return FileOperationFailed;
}

unsigned long LastFileError() { return lastError; }

std::string SystemErrorText(unsigned long code) {
    char text[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                                  code, 0, text, sizeof text, NULL);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                          text[length - 1] == ' ' || text[length - 1] == '.'))
        --length;
    // A code the system has no text for: its number, in no language.
    if (length == 0) return "Windows " + std::to_string(code);
    return std::string(text, length);
}

FileOutcome MakeFolderWithParents(const std::string& path) {
    // Each folder above is tried on its own; one that exists already (or a
    // drive, a share) fails harmlessly, and the last one says whether the
    // whole path is there.
    for (size_t at = 1; at < path.size(); ++at)
        if (path[at] == '/' || path[at] == '\\') MakeFolder(path.substr(0, at).c_str());
    return MakeFolder(path.c_str());
}

std::string AbsolutePath(const std::string& path) {
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, NULL);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

std::string UserStateFolder() {
    char local[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", local, sizeof local);
    if (length == 0 || length >= sizeof local) return "";
    std::string folder = std::string(local, length) + "\\dm730";
    return MakeFolderWithParents(folder) == FileOperationDone ? folder : "";
}

ReadFileOutcome ReadWholeFile(const char* path, unsigned long long limit, std::string* bytes) {
    bytes->clear();
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        lastError = GetLastError();
        return lastError == ERROR_FILE_NOT_FOUND || lastError == ERROR_PATH_NOT_FOUND
                   ? WholeFileMissing
                   : WholeFileUnreadable;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(file);
        lastError = 0;
        return WholeFileNotRegular;
    }
    char chunk[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &n, NULL)) {
            lastError = GetLastError();
            CloseHandle(file);
            return WholeFileUnreadable;
        }
        if (n == 0 || bytes->size() > limit) break;
        bytes->append(chunk, n);
    }
    CloseHandle(file);
    if (bytes->size() > limit + 1) bytes->resize(limit + 1);
    return WholeFileRead;
}

#include <windows.h>

#include "cli/files.h"

FileOutcome MoveFileOver(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? FileOperationDone
                                                            : FileOperationFailed;
}

FileOutcome MakeFolder(const char* path) {
    if (CreateDirectoryA(path, NULL)) return FileOperationDone;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
               ? FileOperationDone
               : FileOperationFailed;
}

std::string PathInFolder(const std::string& folder, const char* name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
    return folder + "\\" + name;
}

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

FileOutcome MakeFolderWithParents(const std::string& path) {
    // Each folder above is tried on its own; one that exists already (or a
    // drive, a share) fails harmlessly, and the last one says whether the
    // whole path is there.
    for (size_t at = 1; at < path.size(); ++at)
        if (path[at] == '/' || path[at] == '\\') MakeFolder(path.substr(0, at).c_str());
    return MakeFolder(path.c_str());
}

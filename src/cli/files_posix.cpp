#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "cli/files.h"

FileOutcome MoveFileOver(const char* from, const char* to) {
    return std::rename(from, to) == 0 ? FileOperationDone : FileOperationFailed;
}

FileOutcome MakeFolder(const char* path) {
    if (mkdir(path, 0777) == 0) return FileOperationDone;
    struct stat info;
    return errno == EEXIST && stat(path, &info) == 0 && S_ISDIR(info.st_mode) ? FileOperationDone
                                                                              : FileOperationFailed;
}

std::string PathInFolder(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

FileOutcome MakeFolderWithParents(const std::string& path) {
    // Each folder above is tried on its own; one that exists already (or a
    // drive, a share) fails harmlessly, and the last one says whether the
    // whole path is there.
    for (size_t at = 1; at < path.size(); ++at)
        if (path[at] == '/') MakeFolder(path.substr(0, at).c_str());
    return MakeFolder(path.c_str());
}

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

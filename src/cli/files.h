// The few file operations the streams of the core do not offer.
#pragma once
#include <string>

enum FileOutcome { FileOperationDone = 0, FileOperationFailed = -1 };

// Renames from to to, replacing what is there.
FileOutcome MoveFileOver(const char* from, const char* to);
// A folder that already exists counts as made.
FileOutcome MakeFolder(const char* path);
// The folder and every missing folder above it; fails only when path itself
// cannot be made.
FileOutcome MakeFolderWithParents(const std::string& path);
// The size in bytes, or -1 when the file cannot be opened.
long long FileSizeOf(const char* path);
// folder + separator + name, the separator only when the folder lacks one.
std::string PathInFolder(const std::string& folder, const char* name);

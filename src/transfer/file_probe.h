// Existence and write permission of a data file, as the file dialog's
// system sees them (attributes, not the caller's privileges).
#pragma once

enum FileState { FileMissing = -1, FileWritable = 0, FileReadOnly = 1 };

FileState ProbeFile(const char* path);

// An ordinary file on disk: not a pipe, a device or a folder, whose opening
// could wait for a peer or whose reads might never end.
bool IsDiskFile(const char* path);

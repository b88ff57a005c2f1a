// Existence and write permission of a data file, as the file dialog's
// system sees them (attributes, not the caller's privileges).
#pragma once

enum FileState { FileMissing = -1, FileWritable = 0, FileReadOnly = 1 };

int ProbeFile(const char* path);

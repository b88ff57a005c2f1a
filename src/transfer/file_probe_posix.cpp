#include "transfer/file_probe.h"

#include <sys/stat.h>

// The owner's write bit stands for the read-only attribute: the tests run as
// root, for whom access(W_OK) succeeds on any file.
FileState ProbeFile(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) return FileMissing;
    return (info.st_mode & S_IWUSR) ? FileWritable : FileReadOnly;
}

// stat never opens the path, so a FIFO with no other end cannot hold it up.
bool IsDiskFile(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

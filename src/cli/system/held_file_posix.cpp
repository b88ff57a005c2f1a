#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/system/held_file.h"

namespace {

FileOutcome Held(HeldFile* file, const std::string& path, int descriptor) {
    if (descriptor < 0) return RecordFileError(errno);
    HoldDescriptor(file, path, descriptor);
    return FileOperationDone;
}

}  // namespace

FileOutcome CreateHeldFile(const std::string& path, HeldFile* file) {
    return Held(file, path,
                open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
}

FileOutcome OpenHeldFile(const std::string& path, HeldFile* file) {
    int descriptor = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat info;
    if (descriptor >= 0 && (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode))) {
        close(descriptor);
        errno = EINVAL;
        descriptor = -1;
    }
    // Not blocking only for the open: a pipe put there must not hold it.
    if (descriptor >= 0) fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return Held(file, path, descriptor);
}

bool IsHeldAt(const HeldFile& file, const std::string& path) {
    struct stat held, named;
    if (file.descriptor < 0 || fstat(file.descriptor, &held) != 0 ||
        lstat(path.c_str(), &named) != 0)
        return false;
    return S_ISREG(named.st_mode) && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void TakePermissionsOf(const HeldFile& file, const std::string& path) {
    struct stat info;
    if (file.descriptor >= 0 && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        fchmod(file.descriptor, info.st_mode & 07777);
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "cli/system/files.h"

namespace {

int lastError = 0;

FileOutcome Outcome(bool done) {
    if (done) return FileOperationDone;
    lastError = errno;
    return FileOperationFailed;
}

// A folder that already exists counts as made.
FileOutcome MakeFolder(const char* path) {
    if (mkdir(path, 0777) == 0) return FileOperationDone;
    int error = errno;
    struct stat info;
    if (error == EEXIST && stat(path, &info) == 0 && S_ISDIR(info.st_mode))
        return FileOperationDone;
    errno = error;
    return Outcome(false);
}

}  // namespace

FileOutcome MoveFileOver(const char* from, const char* to) {
    return Outcome(std::rename(from, to) == 0);
}

std::string PathInFolder(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

PathKind KindOfPath(const char* path, bool followLinks) {
    struct stat info;
    if ((followLinks ? stat(path, &info) : lstat(path, &info)) != 0) {
        lastError = errno;
        return PathMissing;
    }
    if (S_ISLNK(info.st_mode)) return PathLink;
    if (S_ISDIR(info.st_mode)) return PathFolder;
    return S_ISREG(info.st_mode) ? PathRegular : PathOther;
}

FileOutcome CreateFileExclusively(const char* path) {
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return Outcome(false);
    close(fd);
    return FileOperationDone;
}

FileOutcome RemoveFileOrLink(const char* path) { return Outcome(unlink(path) == 0); }

FileOutcome RecordFileError(unsigned long code) {
    lastError = decltype(lastError)(code);
    return FileOperationFailed;
}

unsigned long LastFileError() { return static_cast<unsigned long>(lastError); }

std::string SystemErrorText(unsigned long code) { return std::strerror(int(code)); }

FileOutcome MakeFolderWithParents(const std::string& path) {
    // Each folder above is tried on its own; one that exists already (or a
    // drive, a share) fails harmlessly, and the last one says whether the
    // whole path is there.
    for (size_t at = 1; at < path.size(); ++at)
        if (path[at] == '/') MakeFolder(path.substr(0, at).c_str());
    return MakeFolder(path.c_str());
}

std::string AbsolutePath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string UserStateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string folder;
    if (state != nullptr && state[0] == '/')
        folder = std::string(state) + "/dm730";
    else if (home != nullptr && home[0] != '\0')
        folder = std::string(home) + "/.local/state/dm730";
    if (folder.empty() || MakeFolderWithParents(folder) != FileOperationDone) return "";
    return folder;
}

ReadFileOutcome ReadWholeFile(const char* path, unsigned long long limit, std::string* bytes) {
    bytes->clear();
    // Not blocking: should a pipe be there, the open does not wait for its writer.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastError = errno;
        return errno == ENOENT || errno == ENOTDIR ? WholeFileMissing : WholeFileUnreadable;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        lastError = 0;
        return WholeFileNotRegular;
    }
    char chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            lastError = errno;
            close(fd);
            return WholeFileUnreadable;
        }
        if (n == 0 || bytes->size() > limit) break;
        bytes->append(chunk, size_t(n));
    }
    close(fd);
    if (bytes->size() > limit + 1) bytes->resize(limit + 1);
    return WholeFileRead;
}

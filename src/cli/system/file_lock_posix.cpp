#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "cli/system/file_lock.h"

LockOutcome LockForRun(const std::string& path, bool exclusive) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    // A folder one may read but not write: a lock file already there still locks.
    if (fd < 0) fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return LockImpossible;
    if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return LockTaken;  // held open
    int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? LockHeldElsewhere : LockImpossible;
}

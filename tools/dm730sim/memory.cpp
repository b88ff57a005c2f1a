// The controller's 1 MiB block memory. With an image file every block goes
// straight to (and comes straight from) the file, so a test can compare or
// seed it while the simulator runs and a write survives a restart.
#include "sim.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int memoryFd = -1;
std::vector<uint8_t> memoryImage;  // when no file is given

}  // namespace

int OpenMemory(const std::string& path) {
    const off_t size = (off_t)BlockCount * BlockSize;
    if (path.empty()) {
        memoryImage.assign((size_t)size, 0);
        return 0;
    }
    memoryFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (memoryFd < 0) {
        fprintf(stderr, "dm730sim: cannot open memory image %s: %s\n", path.c_str(),
                strerror(errno));
        return -1;
    }
    struct stat st;
    if (fstat(memoryFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        fprintf(stderr, "dm730sim: memory image %s is not a regular file\n", path.c_str());
        CloseMemory();
        return -1;
    }
    // A new or short image is filled up with zero blocks.
    if (st.st_size < size && ftruncate(memoryFd, size) != 0) {
        fprintf(stderr, "dm730sim: cannot size memory image %s: %s\n", path.c_str(),
                strerror(errno));
        CloseMemory();
        return -1;
    }
    return 0;
}

int ReadMemoryBlock(int block, uint8_t* out) {
    if (block < 0 || block >= BlockCount) return -1;
    off_t at = (off_t)block * BlockSize;
    if (memoryFd < 0) {
        memcpy(out, memoryImage.data() + at, BlockSize);
        return 0;
    }
    ssize_t n = pread(memoryFd, out, BlockSize, at);
    if (n < 0) return -1;
    if (n < BlockSize) memset(out + n, 0, (size_t)(BlockSize - n));
    return 0;
}

int WriteMemoryBlock(int block, const uint8_t* data) {
    if (block < 0 || block >= BlockCount) return -1;
    off_t at = (off_t)block * BlockSize;
    if (memoryFd < 0) {
        memcpy(memoryImage.data() + at, data, BlockSize);
        return 0;
    }
    return pwrite(memoryFd, data, BlockSize, at) == BlockSize ? 0 : -1;
}

void CloseMemory() {
    if (memoryFd >= 0) close(memoryFd);
    memoryFd = -1;
}

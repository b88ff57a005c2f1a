// The least a PC can do on this line: the frames of a firmware write, each
// sent as soon as the reply before it is in, with blocking reads and writes
// and nothing else. What the simulator takes for it is what the line allows.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "bench.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "protocol/regions.h"
#include "transfer/transfer.h"

namespace {

// A reply later than this means the exchange has broken down.
const int ReplyLimitMs = 2000;

bool SetRawLine(int fd) {
    termios t;
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cflag &= ~(CRTSCTS | PARENB | CSTOPB);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool SendAll(int fd, const uint8_t* bytes, size_t n) {
    while (n > 0) {
        ssize_t r = write(fd, bytes, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        bytes += r;
        n -= size_t(r);
    }
    return true;
}

bool ReceiveAll(int fd, uint8_t* bytes, size_t n) {
    while (n > 0) {
        pollfd p = {fd, POLLIN, 0};
        int ready = poll(&p, 1, ReplyLimitMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        ssize_t r = read(fd, bytes, n);
        if (r < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (r <= 0) return false;
        bytes += r;
        n -= size_t(r);
    }
    return true;
}

// One frame out of the frame area, one reply in after it, which must end in ACK.
bool Exchange(int fd, size_t out, size_t in) {
    uint8_t* area = IoBuffer.frameArea;
    if (!SendAll(fd, area, out) || !ReceiveAll(fd, area, in)) return false;
    return area[in - 1] == ByteAck;
}

}  // namespace

int RunBareClient(const char* path, const char* file) {
    DeviceRegion region = LookUpRegion(KindFirmware);
    std::vector<char> data(size_t(region.blockCount) * BlockSize);
    std::ifstream in(file, std::ios::binary);
    in.read(data.data(), std::streamsize(data.size()));
    int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || !SetRawLine(fd)) {
        std::fprintf(stderr, "selvo-bench: cannot open %s as a line: %s\n", path,
                     std::strerror(errno));
        if (fd >= 0) close(fd);
        return 1;
    }
    BuildIdentRequest();
    bool ok = Exchange(fd, IdentRequestSize, IdentReplySize);
    unsigned block = region.firstBlock;
    for (; ok && block < unsigned(region.firstBlock + region.blockCount); ++block) {
        BuildBlockCommand(ActionWriteToDevice, uint16_t(block));
        ok = Exchange(fd, CommandFrameSize, ByteReplySize);
        if (!ok) break;
        std::memcpy(IoBuffer.frameArea, &data[size_t(block - region.firstBlock) * BlockSize],
                    BlockSize);
        SealDataFrame();
        ok = Exchange(fd, DataFrameSize, ByteReplySize);
    }
    close(fd);
    if (!ok) {
        std::fprintf(stderr, "selvo-bench: the bare client's exchange broke down at block %u\n",
                     block);
        return 1;
    }
    return 0;
}

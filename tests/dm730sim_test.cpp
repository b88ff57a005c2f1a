// The simulated Dm730 over its pty link, driven byte by byte with raw termios
// I/O: what the PC program and the other tests rely on when no controller is
// at hand.
#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

long long NowMs()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

void SleepMs(int ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

int OpenLine(const std::string& path)
{
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct termios t;
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    t.c_iflag &= ~(tcflag_t)(IXON | IXOFF);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void Send(int fd, const Bytes& bytes)
{
    size_t done = 0;
    long long deadline = NowMs() + 2000;
    while (done < bytes.size() && NowMs() < deadline) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += (size_t)n;
        else
            SleepMs(1);
    }
    ASSERT_EQ(done, bytes.size());
}

// Reads up to n bytes: stops at n, after totalMs, or gapMs after the last byte.
// *failed is set when the line reports an error (hung up).
Bytes Receive(int fd, size_t n, int totalMs = 1000, int gapMs = 300, bool* failed = nullptr)
{
    Bytes out;
    long long start = NowMs();
    long long last = start;
    while (out.size() < n) {
        long long now = NowMs();
        long long left = start + totalMs - now;
        if (!out.empty() && last + gapMs - now < left)
            left = last + gapMs - now;
        if (left <= 0)
            break;
        struct pollfd pfd = {fd, POLLIN, 0};
        poll(&pfd, 1, (int)left);
        uint8_t buf[512];
        ssize_t r = read(fd, buf, std::min(sizeof buf, n - out.size()));
        if (r > 0) {
            out.insert(out.end(), buf, buf + r);
            last = NowMs();
        } else if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR)) {
            if (failed)
                *failed = true;
            break;
        }
    }
    return out;
}

uint8_t Balance(const Bytes& bytes)
{
    unsigned s = 0;
    for (uint8_t b : bytes)
        s += b;
    return (uint8_t)(0 - s);
}

Bytes Command(uint8_t op, unsigned block)
{
    Bytes c = {op, (uint8_t)(block & 0xFF), (uint8_t)(block >> 8)};
    c.push_back(Balance(c));
    return c;
}

Bytes Frame(const Bytes& block)
{
    Bytes f = block;
    f.push_back(Balance(block));
    return f;
}

Bytes Pattern(unsigned seed)
{
    Bytes b(256);
    for (unsigned i = 0; i < 256; ++i)
        b[i] = (uint8_t)(i * 7 + seed * 13 + (i >> 3));
    return b;
}

Bytes ReadImage(const std::string& path, unsigned block)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg((std::streamoff)block * 256);
    Bytes b(256);
    in.read(reinterpret_cast<char*>(b.data()), 256);
    b.resize((size_t)in.gcount());
    return b;
}

const uint8_t ESC = 0x1B, ACK = 0x06, NAK = 0x15;

class SimTest : public ::testing::Test {
protected:
    std::string dir;
    std::string link;
    std::string image;
    SimProcess sim;
    int fd = -1;

    void SetUp() override
    {
        char templ[] = "/tmp/dm730sim_test.XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir = templ;
        link = dir + "/com1";
        image = dir + "/memory.bin";
    }

    void TearDown() override
    {
        if (fd >= 0)
            close(fd);
        StopSim(sim);
        unlink(image.c_str());
        unlink(link.c_str());
        rmdir(dir.c_str());
    }

    // Starts the simulator with the image and extra options, and opens the line.
    void Start(std::vector<std::string> args = {})
    {
        args.insert(args.begin(), {"--memory", image});
        ASSERT_EQ(StartSim(sim, link, args), 0);
        fd = OpenLine(link);
        ASSERT_GE(fd, 0) << strerror(errno);
    }

    void Reopen()
    {
        close(fd);
        fd = OpenLine(link);
        ASSERT_GE(fd, 0) << strerror(errno);
    }

    void ExpectEvent(const std::string& event, int timeoutMs = 2000)
    {
        std::string all;
        for (const std::string& l : SimLines(sim))
            all += l + "\n";
        EXPECT_EQ(WaitSimEvent(sim, event, timeoutMs), 0) << "no \"" << event << "\" in:\n" << all;
    }

    // A write exchange; returns the block reply (empty when none came).
    Bytes WriteBlock(unsigned block, const Bytes& data)
    {
        Send(fd, Command(0x11, block));
        Bytes reply = Receive(fd, 1, 500);
        if (reply != Bytes{ACK})
            return reply;
        Send(fd, Frame(data));
        return Receive(fd, 1, 500);
    }
};

TEST_F(SimTest, AnswersIdentificationWithTheDefaultVersions)
{
    Start();
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 6), (Bytes{0x03, 0x05, 0x01, 0x14, 0xE3, 0x06}));
    ExpectEvent("ident");
}

TEST_F(SimTest, WrittenBlockIsInTheImageAndReadsBack)
{
    Start();
    Send(fd, {ESC});
    ASSERT_EQ(Receive(fd, 6).size(), 6u);
    Bytes data = Pattern(1);
    EXPECT_EQ(WriteBlock(512, data), Bytes{ACK});
    ExpectEvent("block-in 512 ack");
    EXPECT_EQ(ReadImage(image, 512), data);

    Send(fd, Command(0x12, 512));
    Bytes reply = Receive(fd, 258);
    ASSERT_EQ(reply.size(), 258u);
    EXPECT_EQ(reply[0], ACK);
    EXPECT_EQ(Bytes(reply.begin() + 1, reply.end()), Frame(data));
    ExpectEvent("block-out 512");
}

}  // namespace

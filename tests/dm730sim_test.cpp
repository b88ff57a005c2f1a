// The simulated Dm730 over its pty link, driven byte by byte with raw termios
// I/O: what the PC program and the other tests rely on when no controller is
// at hand.
#include "support/sim_process.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

long long NowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

void SleepMs(int ms) {
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

int OpenLine(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct termios t;
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    t.c_iflag &= ~(tcflag_t)(IXON | IXOFF);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    tcsetattr(fd, TCSANOW, &t);
    // As a COM port opens: whatever an earlier user left unread is gone.
    tcflush(fd, TCIFLUSH);
    return fd;
}

void Send(int fd, const Bytes& bytes) {
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
Bytes Receive(int fd, size_t n, int totalMs = 1000, int gapMs = 300, bool* failed = nullptr) {
    Bytes out;
    long long start = NowMs();
    long long last = start;
    while (out.size() < n) {
        long long now = NowMs();
        long long left = start + totalMs - now;
        if (!out.empty() && last + gapMs - now < left) left = last + gapMs - now;
        if (left <= 0) break;
        struct pollfd pfd = {fd, POLLIN, 0};
        poll(&pfd, 1, (int)left);
        uint8_t buf[512];
        ssize_t r = read(fd, buf, std::min(sizeof buf, n - out.size()));
        if (r > 0) {
            out.insert(out.end(), buf, buf + r);
            last = NowMs();
        } else if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR)) {
            if (failed) *failed = true;
            break;
        }
    }
    return out;
}

uint8_t Balance(const Bytes& bytes) {
    unsigned s = 0;
    for (uint8_t b : bytes) s += b;
    return (uint8_t)(0 - s);
}

Bytes Command(uint8_t op, unsigned block) {
    Bytes c = {op, (uint8_t)(block & 0xFF), (uint8_t)(block >> 8)};
    c.push_back(Balance(c));
    return c;
}

Bytes Frame(const Bytes& block) {
    Bytes f = block;
    f.push_back(Balance(block));
    return f;
}

Bytes AckThen(const Bytes& frame) {
    Bytes b = {0x06};
    b.insert(b.end(), frame.begin(), frame.end());
    return b;
}

Bytes Pattern(unsigned seed) {
    Bytes b(256);
    for (unsigned i = 0; i < 256; ++i) b[i] = (uint8_t)(i * 7 + seed * 13 + (i >> 3));
    return b;
}

Bytes ReadImage(const std::string& path, unsigned block) {
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
    TempFolder dir{"dm730sim_test"};
    std::string link = dir.PathOf("com1");
    std::string image = dir.PathOf("memory.bin");
    SimProcess sim;
    int fd = -1;

    void TearDown() override {
        if (fd >= 0) close(fd);
        StopSim(sim);
    }

    // Starts the simulator with the image and extra options, and opens the line.
    void Start(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--memory", image});
        ASSERT_EQ(StartSim(sim, link, args), 0);
        fd = OpenLine(link);
        ASSERT_GE(fd, 0) << strerror(errno);
    }

    void CloseAndPause() {
        close(fd);
        fd = -1;
        SleepMs(5);
    }

    void Reopen() {
        if (fd >= 0) close(fd);
        fd = OpenLine(link);
        ASSERT_GE(fd, 0) << strerror(errno);
    }

    std::string Events() {
        std::string all = "\nevents:\n";
        for (const std::string& l : SimLines(sim)) all += l + "\n";
        return all;
    }

    void ExpectEvent(const std::string& event, int timeoutMs = 2000) {
        if (WaitSimEvent(sim, event, timeoutMs) != 0)
            ADD_FAILURE() << "no \"" << event << "\"" << Events();
    }

    // A write exchange; returns the block reply (empty when none came).
    Bytes WriteBlock(unsigned block, const Bytes& data) {
        Send(fd, Command(0x11, block));
        Bytes reply = Receive(fd, 1, 500);
        if (reply != Bytes{ACK}) return reply;
        Send(fd, Frame(data));
        return Receive(fd, 1, 500);
    }
};

Bytes Ident(std::initializer_list<uint8_t> versions, uint8_t status = ACK) {
    Bytes r(versions);
    r.push_back(Balance(r));
    r.push_back(status);
    return r;
}

// ---------------------------------------------------------------------------
// Identification

struct IdentCase {
    const char* name;
    std::vector<std::string> args;
    Bytes reply;
    const char* event;
};

// Test listings name the case rather than dump its bytes.
void PrintTo(const IdentCase& c, std::ostream* os) { *os << c.name; }

class IdentReply : public SimTest, public ::testing::WithParamInterface<IdentCase> {};

TEST_P(IdentReply, AnswersEscape) {
    const IdentCase& c = GetParam();
    Start(c.args);
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 7, 800, 200), c.reply);
    ExpectEvent(c.event);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, IdentReply,
    ::testing::Values(
        IdentCase{"Default", {}, {0x03, 0x05, 0x01, 0x14, 0xE3, 0x06}, "ident"},
        IdentCase{"Versions", {"--versions", "10.100,0.0"}, Ident({10, 100, 0, 0}), "ident"},
        IdentCase{"VersionsEqualsForm", {"--versions=2.42,9.99"}, Ident({2, 42, 9, 99}), "ident"},
        IdentCase{"Nak", {"--ident-nak"}, Ident({3, 5, 1, 20}, NAK), "fault ident-nak"},
        IdentCase{"Status07",
                  {"--ident-status", "0x07"},
                  Ident({3, 5, 1, 20}, 0x07),
                  "fault ident-status 0x07"},
        IdentCase{"BadChecksum",
                  {"--bad-ident-checksum"},
                  {0x03, 0x05, 0x01, 0x14, 0xE4, 0x06},
                  "fault ident-checksum 0x01"},
        IdentCase{"BadChecksumSum0a",
                  {"--bad-ident-checksum=0x0a"},
                  {0x03, 0x05, 0x01, 0x14, 0xED, 0x06},
                  "fault ident-checksum 0x0a"},
        IdentCase{"NakAndBadChecksum",
                  {"--ident-nak", "--bad-ident-checksum"},
                  {0x03, 0x05, 0x01, 0x14, 0xE4, NAK},
                  "fault ident-checksum"},
        IdentCase{"Silent", {"--ident-silent"}, {}, "fault ident-silent"}),
    [](const ::testing::TestParamInfo<IdentCase>& info) { return std::string(info.param.name); });

TEST_F(SimTest, IdentFaultsSpareTheFirstRequests) {
    Start({"--ident-nak", "--ident-faults-after", "2"});
    for (int i = 0; i < 3; ++i) {
        Send(fd, {ESC});
        EXPECT_EQ(Receive(fd, 6), Ident({3, 5, 1, 20}, i < 2 ? ACK : NAK)) << "request " << i + 1;
    }
    ExpectEvent("ident");
    ExpectEvent("ident");
    ExpectEvent("fault ident-nak");
}

// ---------------------------------------------------------------------------
// Blocks and the memory image

TEST_F(SimTest, WrittenBlockIsInTheImageAndReadsBack) {
    Start();
    Send(fd, {ESC});
    ASSERT_EQ(Receive(fd, 6).size(), 6u);
    Bytes data = Pattern(1);
    EXPECT_EQ(WriteBlock(512, data), Bytes{ACK});
    ExpectEvent("command write 512 ack");
    ExpectEvent("block-in 512 ack");
    EXPECT_EQ(ReadImage(image, 512), data);

    Send(fd, Command(0x12, 512));
    Bytes reply = Receive(fd, 258);
    ASSERT_EQ(reply.size(), 258u);
    EXPECT_EQ(reply[0], ACK);
    EXPECT_EQ(Bytes(reply.begin() + 1, reply.end()), Frame(data));
    ExpectEvent("command read 512 ack");
    ExpectEvent("block-out 512");
}

TEST_F(SimTest, NewImageIsOneMebibyteOfZeros) {
    Start();
    Send(fd, Command(0x12, 4095));
    Bytes zeroFrame(257, 0);
    Bytes reply = Receive(fd, 258);
    ASSERT_EQ(reply.size(), 258u);
    EXPECT_EQ(Bytes(reply.begin() + 1, reply.end()), zeroFrame);
    std::ifstream in(image, std::ios::binary | std::ios::ate);
    EXPECT_EQ((long long)in.tellg(), 1048576LL);
}

// A seeded image is served as it is, a short one is filled up with zeros, and
// the image changed under a running simulator is what the next read sends.
TEST_F(SimTest, ServesTheImageFileAsItStands) {
    {
        std::ofstream out(image, std::ios::binary);
        for (unsigned b = 0; b < 900; ++b) {
            Bytes p = Pattern(b);
            out.write(reinterpret_cast<const char*>(p.data()), 256);
        }
    }
    Start();
    for (unsigned block : {0u, 511u, 896u, 899u, 900u, 4095u}) {
        Send(fd, Command(0x12, block));
        Bytes reply = Receive(fd, 258);
        ASSERT_EQ(reply.size(), 258u) << block;
        Bytes expected = block < 900 ? Pattern(block) : Bytes(256, 0);
        EXPECT_EQ(Bytes(reply.begin() + 1, reply.end()), Frame(expected)) << block;
    }
    {
        std::fstream io(image, std::ios::binary | std::ios::in | std::ios::out);
        io.seekp(7 * 256);
        Bytes p = Pattern(77);
        io.write(reinterpret_cast<const char*>(p.data()), 256);
    }
    Send(fd, Command(0x12, 7));
    Bytes reply = Receive(fd, 258);
    ASSERT_EQ(reply.size(), 258u);
    EXPECT_EQ(Bytes(reply.begin() + 1, reply.end()), Frame(Pattern(77)));
}

// Flow-control characters (0x11, 0x13), CR, LF, ESC, NAK and the rest pass in
// both directions, in data and in block numbers alike.
TEST_F(SimTest, EveryByteValueRoundTrips) {
    Start();
    const unsigned blocks[] = {0x0D11, 0x0A13, 0x0311, 0x001B, 0x0F15};
    for (unsigned k = 0; k < 5; ++k) {
        Bytes data(256);
        for (unsigned i = 0; i < 256; ++i) data[i] = (uint8_t)(i + k * 51);
        ASSERT_EQ(WriteBlock(blocks[k], data), Bytes{ACK}) << blocks[k];
        ExpectEvent("block-in " + std::to_string(blocks[k]) + " ack");
        EXPECT_EQ(ReadImage(image, blocks[k]), data);
        Send(fd, Command(0x12, blocks[k]));
        Bytes reply = Receive(fd, 258);
        ASSERT_EQ(reply.size(), 258u);
        EXPECT_EQ(Bytes(reply.begin() + 1, reply.end()), Frame(data)) << blocks[k];
    }
}

// ---------------------------------------------------------------------------
// Refusals

struct RefusalCase {
    const char* name;
    Bytes command;
    const char* event;
};

// Test listings name the case rather than dump its bytes.
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class CommandRefusal : public SimTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(CommandRefusal, AnswersNakAndGoesOn) {
    Start();
    Send(fd, GetParam().command);
    EXPECT_EQ(Receive(fd, 2, 500, 200), Bytes{NAK});
    ExpectEvent(GetParam().event);
    // A refused write command expects no data frame: the next ESC is answered.
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 6), Ident({3, 5, 1, 20}));
}

INSTANTIATE_TEST_SUITE_P(
    Sim, CommandRefusal,
    ::testing::Values(
        RefusalCase{"BadChecksum", {0x11, 0x00, 0x00, 0xEE}, "nak command-checksum 0xff"},
        RefusalCase{"ChecksumOfOtherBlock", {0x12, 0x01, 0x00, 0xEE}, "nak command-checksum 0x01"},
        RefusalCase{"UnknownOp", Command(0x13, 5), "nak command-op 0x13"},
        RefusalCase{"OpZero", {0x00, 0x00, 0x00, 0x00}, "nak command-op 0x00"},
        RefusalCase{"ReadBlock4096", Command(0x12, 4096), "nak command-block read 4096"},
        RefusalCase{"WriteBlock65535", Command(0x11, 65535), "nak command-block write 65535"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(SimTest, BadDataFrameChecksumIsRefusedAndNotStored) {
    Start();
    Bytes frame = Frame(Pattern(3));
    frame[256] ^= 0x40;
    Send(fd, Command(0x11, 20));
    ASSERT_EQ(Receive(fd, 1), Bytes{ACK});
    Send(fd, frame);
    EXPECT_EQ(Receive(fd, 1), Bytes{NAK});
    ExpectEvent("nak block-checksum 20 0x40");
    EXPECT_EQ(ReadImage(image, 20), Bytes(256, 0));
    // The line is in step again: the same block now goes through.
    EXPECT_EQ(WriteBlock(20, Pattern(3)), Bytes{ACK});
}

// ---------------------------------------------------------------------------
// An abandoned exchange must not swallow the next ESC

// The silence is measured between the bytes' arrivals, also when a paced line
// takes them in batches.
class FrameGap : public SimTest, public ::testing::WithParamInterface<bool> {
  protected:
    void StartLine() {
        Start(GetParam() ? std::vector<std::string>{"--line-rate"} : std::vector<std::string>{});
    }
};

TEST_P(FrameGap, PartialFrameIsDroppedAfterSilence) {
    StartLine();
    Bytes halfFrame(128, 0x1B);
    Send(fd, Command(0x11, 30));
    ASSERT_EQ(Receive(fd, 1), Bytes{ACK});
    Send(fd, halfFrame);
    SleepMs(250);
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 6), Ident({3, 5, 1, 20}));
    ExpectEvent("drop block-in 128");
    EXPECT_EQ(ReadImage(image, 30), Bytes(256, 0));

    Send(fd, {0x12, 0x00});
    SleepMs(250);
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 6), Ident({3, 5, 1, 20}));
    ExpectEvent("drop command 2");
}

// Gaps below the 100 ms limit keep the frame together.
TEST_P(FrameGap, SlowFrameWithinTheGapIsKept) {
    StartLine();
    for (uint8_t b : Command(0x12, 3)) {
        Send(fd, {b});
        SleepMs(30);
    }
    EXPECT_EQ(Receive(fd, 258).size(), 258u);
    ExpectEvent("block-out 3");
}

INSTANTIATE_TEST_SUITE_P(Sim, FrameGap, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Paced" : "Unpaced");
                         });

// The PC stopped after a write command's ACK and opened a new exchange: its
// ESC first looks like the start of the data frame.
TEST_F(SimTest, EscapeAfterAbandonedWriteIsStillAnswered) {
    Start();
    Send(fd, Command(0x11, 40));
    ASSERT_EQ(Receive(fd, 1), Bytes{ACK});
    SleepMs(200);
    long long sent = NowMs();
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 6, 720, 100), Ident({3, 5, 1, 20}));
    EXPECT_LT(NowMs() - sent, 400);
    ExpectEvent("drop block-in 1");
    ExpectEvent("ident");
}

// A closed port ends any exchange: the PC reopens and begins with ESC, which
// is answered at once, not taken for the awaited data frame.
TEST_F(SimTest, ClosingThePortEndsTheExchange) {
    Start();
    Send(fd, Command(0x11, 41));
    ASSERT_EQ(Receive(fd, 1), Bytes{ACK});
    close(fd);
    fd = -1;
    ExpectEvent("drop block-in 0");
    fd = OpenLine(link);
    ASSERT_GE(fd, 0);
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 6, 720, 100), Ident({3, 5, 1, 20}));
    ExpectEvent("ident");
    for (const std::string& line : SimLines(sim))
        EXPECT_NE(line, "drop block-in 1") << "the ESC was taken for data";
}

// ---------------------------------------------------------------------------
// Block faults

enum Exchange { ReadExchange, WriteExchange };

struct BlockFaultCase {
    const char* name;
    std::vector<std::string> args;
    Exchange exchange;
    Bytes commandReply;  // reply to the command of block 5
    int frameBytes;      // read: bytes of the data frame that follow (-1 none)
    int frameSum;        // read: what the frame's bytes add up to
    Bytes blockReply;    // write: reply to the data frame (empty when not sent)
    const char* event;
    int storedChange = 0;  // write: the block is kept with its first byte XOR this
};

// Test listings name the case rather than dump its bytes.
void PrintTo(const BlockFaultCase& c, std::ostream* os) { *os << c.name; }

class BlockFault : public SimTest, public ::testing::WithParamInterface<BlockFaultCase> {};

TEST_P(BlockFault, HitsItsBlockOnly) {
    const BlockFaultCase& c = GetParam();
    Start(c.args);
    Bytes data = Pattern(5);
    uint8_t op = c.exchange == ReadExchange ? 0x12 : 0x11;
    Send(fd, Command(op, 5));
    Bytes reply = Receive(fd, 300, 1000, 200);
    ASSERT_GE(reply.size(), 1u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 1), c.commandReply);
    if (c.exchange == ReadExchange) {
        EXPECT_EQ((int)reply.size() - 1, c.frameBytes < 0 ? 0 : c.frameBytes);
        if (c.frameBytes == 257) {
            unsigned sum = 0;
            for (size_t i = 1; i < reply.size(); ++i) sum += reply[i];
            EXPECT_EQ((int)(sum & 0xFF), c.frameSum);
        }
    } else {
        EXPECT_EQ(reply.size(), 1u);
        if (!c.blockReply.empty()) {
            Send(fd, Frame(data));
            EXPECT_EQ(Receive(fd, 2, 500, 200), c.blockReply);
            Bytes stored(256, 0);  // a refused block is not stored
            if (c.storedChange != 0) {
                stored = data;
                stored[0] ^= (uint8_t)c.storedChange;
            }
            EXPECT_EQ(ReadImage(image, 5), stored);
        }
    }
    ExpectEvent(c.event);
    // Neighbours pass untouched, in both directions.
    EXPECT_EQ(WriteBlock(6, data), Bytes{ACK});
    Send(fd, Command(0x12, 6));
    EXPECT_EQ(Receive(fd, 258), AckThen(Frame(data)));
}

INSTANTIATE_TEST_SUITE_P(Sim, BlockFault,
                         ::testing::Values(BlockFaultCase{"NakCommandRead",
                                                          {"--nak-command", "5"},
                                                          ReadExchange,
                                                          {NAK},
                                                          -1,
                                                          0,
                                                          {},
                                                          "fault nak-command read 5"},
                                           BlockFaultCase{"NakCommandWrite",
                                                          {"--nak-command=5"},
                                                          WriteExchange,
                                                          {NAK},
                                                          -1,
                                                          0,
                                                          {},
                                                          "fault nak-command write 5"},
                                           BlockFaultCase{"StatusByte07",
                                                          {"--status-byte", "5:0x07"},
                                                          ReadExchange,
                                                          {0x07},
                                                          -1,
                                                          0,
                                                          {},
                                                          "fault status-byte read 5 0x07"},
                                           BlockFaultCase{"StatusByte1b",
                                                          {"--status-byte", "5:27"},
                                                          WriteExchange,
                                                          {0x1B},
                                                          -1,
                                                          0,
                                                          {},
                                                          "fault status-byte write 5 0x1b"},
                                           BlockFaultCase{"NakBlock",
                                                          {"--nak-block", "5"},
                                                          WriteExchange,
                                                          {ACK},
                                                          -1,
                                                          0,
                                                          {NAK},
                                                          "fault nak-block 5"},
                                           BlockFaultCase{"BlockStatus",
                                                          {"--block-status", "5:0x07"},
                                                          WriteExchange,
                                                          {ACK},
                                                          -1,
                                                          0,
                                                          {0x07},
                                                          "fault block-status 5 0x07"},
                                           BlockFaultCase{"StoreChanged",
                                                          {"--store-changed", "5:0x80"},
                                                          WriteExchange,
                                                          {ACK},
                                                          -1,
                                                          0,
                                                          {ACK},
                                                          "fault store-changed 5 0x80",
                                                          0x80},
                                           BlockFaultCase{"BadChecksum",
                                                          {"--bad-checksum", "5"},
                                                          ReadExchange,
                                                          {ACK},
                                                          257,
                                                          0x01,
                                                          {},
                                                          "fault bad-checksum 5 0x01"},
                                           BlockFaultCase{"BadChecksum3f",
                                                          {"--bad-checksum", "5:0x3f"},
                                                          ReadExchange,
                                                          {ACK},
                                                          257,
                                                          0x3F,
                                                          {},
                                                          "fault bad-checksum 5 0x3f"},
                                           BlockFaultCase{"ShortFrame",
                                                          {"--short-frame", "5"},
                                                          ReadExchange,
                                                          {ACK},
                                                          200,
                                                          0,
                                                          {},
                                                          "fault short-frame 5 200"},
                                           BlockFaultCase{"ShortFrame0",
                                                          {"--short-frame", "5:0"},
                                                          ReadExchange,
                                                          {ACK},
                                                          0,
                                                          0,
                                                          {},
                                                          "fault short-frame 5 0"},
                                           BlockFaultCase{
                                               "ShortFrame256",
                                               {"--short-frame", "5:256", "--nak-command", "9"},
                                               ReadExchange,
                                               {ACK},
                                               256,
                                               0,
                                               {},
                                               "fault short-frame 5 256"}),
                         [](const ::testing::TestParamInfo<BlockFaultCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(SimTest, GoesSilentAfterItsBlocks) {
    Start({"--silent-after", "2"});
    EXPECT_EQ(WriteBlock(0, Pattern(0)), Bytes{ACK});
    Send(fd, Command(0x12, 0));
    EXPECT_EQ(Receive(fd, 258).size(), 258u);
    Send(fd, Command(0x11, 1));
    EXPECT_EQ(Receive(fd, 1, 400), Bytes{});
    ExpectEvent("fault silent command write 1");
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 6, 720), Bytes{});
    ExpectEvent("fault silent ident");
}

TEST_F(SimTest, RefusedBlocksDoNotCountTowardsSilence) {
    Start({"--silent-after", "1", "--nak-command", "0"});
    Send(fd, Command(0x12, 0));
    EXPECT_EQ(Receive(fd, 1), Bytes{NAK});
    Send(fd, Command(0x12, 1));
    EXPECT_EQ(Receive(fd, 258).size(), 258u);
    Send(fd, Command(0x12, 2));
    EXPECT_EQ(Receive(fd, 1, 400), Bytes{});
}

TEST_F(SimTest, HangsUpAfterItsBlocks) {
    Start({"--hangup-after", "1"});
    Send(fd, Command(0x12, 0));
    EXPECT_EQ(Receive(fd, 258).size(), 258u);
    Send(fd, Command(0x12, 1));
    bool failed = false;
    EXPECT_EQ(Receive(fd, 1, 1000, 300, &failed), Bytes{});
    EXPECT_TRUE(failed) << "the pending read must fail, not time out";
    ExpectEvent("fault hangup command read 1");
    ExpectEvent("hangup");
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "link left behind";
    EXPECT_EQ(StopSim(sim), 0);
}

// ---------------------------------------------------------------------------
// The line

// The PC closes and reopens the port before every transfer, sometimes with an
// answer still unread or still to come; the next exchange must not see it. The
// simulator learns of a close only after the fact: a peer that reopens and
// reads within microseconds can still meet old bytes (a real reopen takes
// milliseconds), hence the pause after such a close.
TEST_F(SimTest, ServesManyOpenCloseCycles) {
    Start({"--port-events"});
    for (int cycle = 0; cycle < 30; ++cycle) {
        Reopen();
        Send(fd, {ESC});
        if (cycle % 3 == 2) {
            CloseAndPause();  // the reply unread
            continue;
        }
        ASSERT_EQ(Receive(fd, 7, 800, 150), Ident({3, 5, 1, 20})) << "cycle " << cycle << Events();
        Bytes data = Pattern((unsigned)cycle);
        ASSERT_EQ(WriteBlock((unsigned)cycle, data), Bytes{ACK}) << "cycle " << cycle;
        Send(fd, Command(0x12, (unsigned)cycle));
        if (cycle % 3 == 1) {
            CloseAndPause();  // in the middle of the data frame
            continue;
        }
        ASSERT_EQ(Receive(fd, 258), AckThen(Frame(data))) << "cycle " << cycle;
    }
    close(fd);
    fd = -1;
    ExpectEvent("port closed");
}

// Bytes sent while the port is closed are lost, as they would be on a line.
TEST_F(SimTest, AnswerToAClosedPortIsLost) {
    Start({"--turnaround", "50"});
    Send(fd, Command(0x12, 9));
    ExpectEvent("command read 9 ack");
    close(fd);
    fd = -1;
    SleepMs(100);
    fd = OpenLine(link);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Receive(fd, 258, 300), Bytes{}) << Events();
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 7, 500, 150), Ident({3, 5, 1, 20}));
}

// The simulator may be slow to run and see the PC's close and reopen before the
// bytes it sent in between: what came before the close is dropped, and the new
// exchange's ESC is answered alone.
TEST_F(SimTest, BytesSentBeforeACloseAreDropped) {
    struct Case {
        bool reopenWhileStopped;
    };
    for (Case c : {Case{true}, Case{false}}) {
        SCOPED_TRACE(c.reopenWhileStopped ? "reopened while stopped" : "reopened after");
        Start({"--port-events"});
        Bytes frame = Frame(Pattern(8));
        kill(sim.pid, SIGSTOP);
        Send(fd, Command(0x11, 8));
        Send(fd, frame);
        Reopen();
        if (c.reopenWhileStopped) Send(fd, {ESC});
        kill(sim.pid, SIGCONT);
        ExpectEvent("drop stale");
        if (!c.reopenWhileStopped) Send(fd, {ESC});
        EXPECT_EQ(Receive(fd, 7, 500, 150), Ident({3, 5, 1, 20})) << Events();
        EXPECT_EQ(ReadImage(image, 8), Bytes(256, 0));
        close(fd);
        fd = -1;
        StopSim(sim);
        unlink(image.c_str());
    }
}

// A device cannot take back what it sent: a new identification request finds
// the unread frame still on the PC's side, ahead of its own reply.
TEST_F(SimTest, AnEscapeLeavesWhatThePcHasNotReadYet) {
    Start();
    Send(fd, Command(0x12, 7));
    ExpectEvent("block-out 7");
    SleepMs(20);
    Send(fd, {ESC});
    Bytes expected = AckThen(Frame(Bytes(256, 0)));
    Bytes ident = Ident({3, 5, 1, 20});
    expected.insert(expected.end(), ident.begin(), ident.end());
    EXPECT_EQ(Receive(fd, expected.size() + 1), expected) << Events();
}

// Noise comes at once; the answer keeps its turnaround.
TEST_F(SimTest, NoiseComesAheadOfTheAnswer) {
    Start({"--noise", "5:0x42", "--turnaround", "100"});
    Send(fd, Command(0x12, 5));
    EXPECT_EQ(Receive(fd, 300, 1000, 50), Bytes{0x42});
    EXPECT_EQ(Receive(fd, 258), AckThen(Frame(Bytes(256, 0))));
    ExpectEvent("fault noise 5 0x42");
    Send(fd, Command(0x12, 6));
    EXPECT_EQ(Receive(fd, 258), AckThen(Frame(Bytes(256, 0)))) << "other blocks hear no noise";
}

// Nobody reads the event lines for a while: the line must not wait for them.
TEST_F(SimTest, UnreadEventLinesNeverHoldUpTheLine) {
    Start();
    for (unsigned block = 0; block < 3000; ++block) {
        Send(fd, Command(0x12, block));
        ASSERT_EQ(Receive(fd, 258, 1000).size(), 258u) << "block " << block;
    }
    ExpectEvent("block-out 2999", 5000);
}

TEST_F(SimTest, LinePacingTakesTheWireTime) {
    Start({"--line-rate"});
    // 4 command bytes in, ACK and 257 frame bytes out: 262 bytes at 260 us.
    long long start = NowMs();
    Send(fd, Command(0x12, 100));
    Bytes reply = Receive(fd, 258);
    long long took = NowMs() - start;
    EXPECT_EQ(reply.size(), 258u);
    EXPECT_GE(took, 67);
    EXPECT_LT(took, 400);

    // The PC's data frame is consumed at the same rate before the ACK.
    Send(fd, Command(0x11, 100));
    ASSERT_EQ(Receive(fd, 1), Bytes{ACK});
    start = NowMs();
    Send(fd, Frame(Pattern(9)));
    EXPECT_EQ(Receive(fd, 1), Bytes{ACK});
    took = NowMs() - start;
    EXPECT_GE(took, 66);
    EXPECT_LT(took, 400);
}

TEST_F(SimTest, UnpacedLineAnswersAtOnce) {
    Start();
    long long fastest = 1000;
    for (int i = 0; i < 3; ++i) {
        long long start = NowMs();
        Send(fd, Command(0x12, 100));
        EXPECT_EQ(Receive(fd, 258).size(), 258u);
        fastest = std::min(fastest, NowMs() - start);
    }
    EXPECT_LT(fastest, 40);
}

TEST_F(SimTest, TimestampsTellWhenEachEventHappened) {
    long long before = NowMs();
    Start({"--timestamps"});
    Send(fd, {ESC});
    ASSERT_EQ(Receive(fd, 6).size(), 6u);
    SleepMs(100);
    Send(fd, Command(0x12, 7));
    ASSERT_EQ(Receive(fd, 258).size(), 258u);
    ExpectEvent("block-out 7");
    long long after = NowMs();
    std::vector<double> stamps;
    std::vector<std::string> events;
    for (const std::string& line : SimLines(sim)) {
        double stamp = 0;
        int at = 0;
        ASSERT_EQ(sscanf(line.c_str(), "%lf %n", &stamp, &at), 1) << line;
        stamps.push_back(stamp * 1000);
        events.push_back(line.substr((size_t)at));
    }
    const std::vector<std::string> expected = {"ready " + link + " " + sim.ttyPath, "ident",
                                               "command read 7 ack", "block-out 7"};
    ASSERT_EQ(events, expected);
    // The test's own monotonic clock brackets them, in order, with the pause between.
    EXPECT_GE(stamps.front(), before - 1);
    EXPECT_LE(stamps.back(), after + 1);
    EXPECT_TRUE(std::is_sorted(stamps.begin(), stamps.end()));
    EXPECT_GE(stamps[2] - stamps[1], 99);
}

TEST_F(SimTest, TurnaroundDelaysEachAnswer) {
    Start({"--turnaround", "80"});
    long long start = NowMs();
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 6).size(), 6u);
    EXPECT_GE(NowMs() - start, 80);
    start = NowMs();
    Send(fd, Command(0x11, 1));
    EXPECT_EQ(Receive(fd, 1), Bytes{ACK});
    EXPECT_GE(NowMs() - start, 80);
    start = NowMs();
    Send(fd, Frame(Pattern(1)));
    EXPECT_EQ(Receive(fd, 1), Bytes{ACK});
    EXPECT_GE(NowMs() - start, 80);
}

TEST_F(SimTest, ReplacesAStaleLinkAndRemovesItAtExit) {
    ASSERT_EQ(symlink("/dev/pts/nonexistent-dm730", link.c_str()), 0);
    Start();
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 6).size(), 6u);
    close(fd);
    fd = -1;
    EXPECT_EQ(StopSim(sim), 0);
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0);
}

TEST_F(SimTest, ExitsCleanlyOnInterrupt) {
    Start();
    kill(sim.pid, SIGINT);
    long long deadline = NowMs() + 2000;
    struct stat st;
    while (lstat(link.c_str(), &st) == 0 && NowMs() < deadline) SleepMs(10);
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    EXPECT_EQ(StopSim(sim), 0);
}

TEST_F(SimTest, NeverReplacesAFile) {
    { std::ofstream(link) << "mine"; }
    EXPECT_NE(StartSim(sim, link, {"--memory", image}, 2000), 0);
    EXPECT_EQ(sim.exitStatus, 1);
    std::ifstream in(link);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "mine");
    unlink(link.c_str());
}

// --device: the test holds the master of a pty pair and hands the simulator
// the slave, as if it were a serial port.
TEST_F(SimTest, ServesARealDeviceLine) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::string slave = ptsname(master);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fd = master;
    ASSERT_EQ(StartSim(sim, "", {"--device", slave, "--memory", image}), 0);
    EXPECT_EQ(sim.ttyPath, slave);
    Send(fd, {ESC});
    EXPECT_EQ(Receive(fd, 6), Ident({3, 5, 1, 20}));
    EXPECT_EQ(WriteBlock(17, Pattern(17)), Bytes{ACK});
    EXPECT_EQ(ReadImage(image, 17), Pattern(17));
}

struct BadLineCase {
    const char* name;
    std::vector<std::string> args;
};

// Test listings name the case rather than dump its bytes.
void PrintTo(const BadLineCase& c, std::ostream* os) { *os << c.name; }

class BadCommandLine : public SimTest, public ::testing::WithParamInterface<BadLineCase> {};

TEST_P(BadCommandLine, IsRefusedWithStatus2) {
    EXPECT_NE(StartSim(sim, link, GetParam().args, 2000), 0);
    EXPECT_EQ(sim.exitStatus, 2);
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, BadCommandLine,
    ::testing::Values(BadLineCase{"UnknownOption", {"--bogus"}},
                      BadLineCase{"VersionsOneNumber", {"--versions", "3.05"}},
                      BadLineCase{"VersionsTooBig", {"--versions", "3.256,1.20"}},
                      BadLineCase{"ShortFrameTooLong", {"--short-frame", "3:300"}},
                      BadLineCase{"StatusByteWithoutByte", {"--status-byte", "3"}},
                      BadLineCase{"NakCommandWithValue", {"--nak-command", "3:1"}},
                      BadLineCase{"MissingValue", {"--silent-after"}},
                      BadLineCase{"NegativeBlock", {"--nak-block", "-1"}},
                      BadLineCase{"TurnaroundText", {"--turnaround", "fast"}},
                      BadLineCase{"LinkAndDevice", {"--device", "/dev/null"}}),
    [](const ::testing::TestParamInfo<BadLineCase>& info) { return std::string(info.param.name); });

}  // namespace

// The termios channel against pseudo-terminals whose slave ends are linked
// into a private port folder, as COM names would be under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include "protocol/io_buffer.h"
#include "serial/port_names.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"
#include "support/port_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

struct FarEnd {
    int master = -1;
    int slave = -1;
    std::string link;
};

class SerialChannelTest : public ::testing::Test {
  protected:
    PortFolder ports;
    std::string dir = ports.Path().string();
    std::deque<FarEnd> ends;  // references stay valid as ports are added

    void SetUp() override { memset(&IoBuffer, 0, sizeof IoBuffer); }

    void TearDown() override {
        CloseChannel();
        FreePortTable();
        for (FarEnd& e : ends) {
            if (e.master >= 0) close(e.master);
            if (e.slave >= 0) close(e.slave);
        }
    }

    // A pty whose slave end is linked as dir/linkName; the master is the device.
    FarEnd& AddPort(const char* linkName) {
        FarEnd e;
        char slaveName[128];
        EXPECT_EQ(openpty(&e.master, &e.slave, slaveName, nullptr, nullptr), 0);
        fcntl(e.master, F_SETFL, fcntl(e.master, F_GETFL) | O_NONBLOCK);
        e.link = dir + "/" + linkName;
        EXPECT_EQ(symlink(slaveName, e.link.c_str()), 0);
        ends.push_back(e);
        return ends.back();
    }

    FarEnd& OpenConfigured(const char* linkName, const char* portName) {
        FarEnd& e = AddPort(linkName);
        EXPECT_EQ(OpenChannel(portName), 0);
        EXPECT_EQ(ConfigureChannel(), 0);
        return e;
    }
};

// What the device side receives within a while.
std::vector<uint8_t> ReadFarEnd(int master, size_t expected, int withinMs = 1000) {
    std::vector<uint8_t> got;
    Clock::time_point start = Clock::now();
    while (got.size() < expected && MsSince(start) < withinMs) {
        uint8_t chunk[512];
        ssize_t r = read(master, chunk, sizeof chunk);
        if (r > 0) {
            got.insert(got.end(), chunk, chunk + r);
        } else {
            pollfd p = {master, POLLIN, 0};
            poll(&p, 1, 5);
        }
    }
    return got;
}

// Polls without pause until the record is no longer pending.
int PollUntilSettled(ChannelRecord record, unsigned long* value, int withinMs = 5000) {
    Clock::time_point start = Clock::now();
    int outcome;
    do {
        outcome = Poll(record, value);
    } while (outcome == PollPending && MsSince(start) < withinMs);
    return outcome;
}

TEST_F(SerialChannelTest, PortNamesMapToLowerCaseLinksWithoutPrefixOrColon) {
    FarEnd& com3 = AddPort("com3");
    FarEnd& com12 = AddPort("com12");
    struct Case {
        const char* name;
        int master;
    } cases[] = {
        {"COM3:", com3.master},         {"COM3", com3.master}, {"\\\\.\\COM3", com3.master},
        {"\\\\.\\COM3:", com3.master},  {"com3", com3.master}, {"COM12:", com12.master},
        {"\\\\.\\COM12", com12.master},
    };
    uint8_t marker = 0x40;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(OpenChannel(c.name), 0);
        ASSERT_EQ(ConfigureChannel(), 0);
        ++marker;
        ASSERT_EQ(SendPriorityByte(marker), 0);
        EXPECT_EQ(ReadFarEnd(c.master, 1), std::vector<uint8_t>{marker});
        CloseChannel();
        EXPECT_FALSE(IsChannelOpen());
    }
}

TEST_F(SerialChannelTest, NamesWithoutALinkOrOutsideTheFolderDoNotOpen) {
    AddPort("com3");
    const char* names[] = {"COM4:",   "COM3x",  "COM", "",       ":",
                           "\\\\.\\", "./COM3", "..",  "COM3::", "\\\\.\\\\\\.\\COM3"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(OpenChannel(name), PortMissing);
        EXPECT_FALSE(IsChannelOpen());
    }
    unsetenv("SELVO_PORT_DIR");
    EXPECT_EQ(OpenChannel("COM3:"), PortMissing);
    setenv("SELVO_PORT_DIR", "", 1);
    EXPECT_EQ(OpenChannel("COM3:"), PortMissing);
}

TEST_F(SerialChannelTest, APortHeldElsewhereCannotBeOpenedAndCloseReleasesIt) {
    FarEnd& e = AddPort("com3");
    int other = open(e.link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(OpenChannel("COM3:"), PortInUse);
    EXPECT_EQ(PortOpenSystemError(), unsigned(EWOULDBLOCK));
    EXPECT_FALSE(IsChannelOpen());
    close(other);

    ASSERT_EQ(OpenChannel("COM3:"), 0);
    other = open(e.link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0) << "the channel must hold the port";
    CloseChannel();
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "close must release the port";
    close(other);
}

TEST_F(SerialChannelTest, ReopeningWithoutCloseDoesNotLockOutTheSamePort) {
    AddPort("com3");
    ASSERT_EQ(OpenChannel("COM3:"), 0);
    EXPECT_EQ(OpenChannel("COM3:"), 0);
    EXPECT_TRUE(IsChannelOpen());
}

TEST_F(SerialChannelTest, ConfigurationFailsOnAnythingButATerminal) {
    std::string plain = dir + "/plain";
    int f = open(plain.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(f, 0);
    close(f);
    ASSERT_EQ(symlink(plain.c_str(), (dir + "/com5").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", (dir + "/com6").c_str()), 0);
    for (const char* name : {"COM5:", "COM6:"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(OpenChannel(name), 0);
        EXPECT_EQ(ConfigureChannel(), PortNotSerial);
        EXPECT_EQ(PortOpenSystemError(), unsigned(ENOTTY));
        CloseChannel();
    }
    EXPECT_EQ(ConfigureChannel(), PortMissing) << "no port open";
}

TEST_F(SerialChannelTest, ConfigurationLeavesARawLineWithoutFlowControl) {
    FarEnd& e = AddPort("com3");
    termios before;
    ASSERT_EQ(tcgetattr(e.slave, &before), 0);
    ASSERT_EQ(OpenChannel("COM3:"), PortOpened);
    ASSERT_EQ(ConfigureChannel(), PortOpened);
    termios t;
    ASSERT_EQ(tcgetattr(e.slave, &t), 0);
    EXPECT_EQ(cfgetispeed(&t), speed_t(B38400));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    // The close gives the device back as it was found (a terminal not left raw).
    CloseChannel();
    ASSERT_EQ(tcgetattr(e.slave, &t), 0);
    EXPECT_EQ(t.c_lflag, before.c_lflag);
    EXPECT_EQ(t.c_iflag, before.c_iflag);
    EXPECT_EQ(cfgetospeed(&t), cfgetospeed(&before));
}

TEST_F(SerialChannelTest, EveryByteValuePassesBothWays) {
    FarEnd& e = OpenConfigured("com3", "COM3:");
    std::vector<uint8_t> all(257);
    for (size_t i = 0; i < all.size(); ++i) all[i] = uint8_t(i * 7 + 0x11);  // 7 is odd: all 256
    all[256] = 0x13;

    memcpy(IoBuffer.frameArea, all.data(), all.size());
    ASSERT_EQ(StartWrite(257), 0u);
    memset(IoBuffer.frameArea, 0, sizeof IoBuffer.frameArea);  // the channel keeps its own copy
    unsigned long value = 0;
    ASSERT_EQ(PollUntilSettled(WriteRecord, &value), PollDone);
    EXPECT_EQ(value, 257u);
    EXPECT_EQ(ReadFarEnd(e.master, 258, 300), all);

    ASSERT_EQ(write(e.master, all.data(), all.size()), 257);
    StartRead(257);
    ASSERT_EQ(PollUntilSettled(ReadRecord, &value), PollDone);
    EXPECT_EQ(value, 257u);
    EXPECT_EQ(std::vector<uint8_t>(IoBuffer.frameArea, IoBuffer.frameArea + 257), all);
}

// Fills the line towards the device until the pty takes no more.
size_t FillLine(int slave) {
    fcntl(slave, F_SETFL, fcntl(slave, F_GETFL) | O_NONBLOCK);
    std::vector<uint8_t> filler(4096, 0x55);
    size_t total = 0;
    // The kernel moves bytes on to the master's side behind our back; the line
    // is full once it has taken nothing for a while.
    for (int idle = 0; idle < 5;) {
        ssize_t r = write(slave, filler.data(), filler.size());
        if (r > 0) {
            total += size_t(r);
            idle = 0;
        } else {
            ++idle;
            usleep(20000);
        }
    }
    return total;
}

TEST_F(SerialChannelTest, AWriteTheLineCannotTakeAtOnceFinishesInLaterPolls) {
    FarEnd& e = OpenConfigured("com3", "COM3:");
    size_t filled = FillLine(e.slave);
    ASSERT_GT(filled, 0u);
    for (int i = 0; i < 257; ++i) IoBuffer.frameArea[i] = uint8_t(255 - i);
    std::vector<uint8_t> sent(IoBuffer.frameArea, IoBuffer.frameArea + 257);
    ASSERT_EQ(StartWrite(257), 0u);
    unsigned long value = 0;
    ASSERT_EQ(Poll(WriteRecord, &value), PollPending);

    std::vector<uint8_t> got = ReadFarEnd(e.master, filled, 3000);
    // The device drained the line meanwhile; polls hand over the rest.
    for (int i = 0; i < 200 && Poll(WriteRecord, &value) == PollPending; ++i) {
        std::vector<uint8_t> more = ReadFarEnd(e.master, 257, 5);
        got.insert(got.end(), more.begin(), more.end());
    }
    ASSERT_EQ(Poll(WriteRecord, &value), PollDone);
    EXPECT_EQ(value, 257u);
    std::vector<uint8_t> more = ReadFarEnd(e.master, 257, 200);
    got.insert(got.end(), more.begin(), more.end());
    ASSERT_EQ(got.size(), filled + 257);
    EXPECT_EQ(std::vector<uint8_t>(got.end() - 257, got.end()), sent);
}

TEST_F(SerialChannelTest, AWriteTheLineNeverTakesEndsShortAfterItsTimeout) {
    FarEnd& e = OpenConfigured("com3", "COM3:");
    ASSERT_GT(FillLine(e.slave), 0u);
    Clock::time_point start = Clock::now();
    ASSERT_EQ(StartWrite(2), 0u);
    unsigned long value = 0;
    ASSERT_EQ(PollUntilSettled(WriteRecord, &value), PollDone);
    double endedAt = MsSince(start);
    EXPECT_EQ(value, 0u);
    EXPECT_GE(endedAt, 240 - 2);
    EXPECT_LE(endedAt, 240 + 80);
}

// When a read of n bytes ends, with how many bytes, for a far end that sends
// single bytes at given moments.
struct ReadTiming {
    const char* what;
    unsigned n;
    std::vector<int> sendAtMs;
    double endsAtMs;
    unsigned long count;
    // The test stops looking at the line (as a process stopped by Ctrl-Z or
    // starved by load) from the first send at or after this moment until the
    // second; -1: it keeps looking.
    int awayFromMs = -1;
    int awayUntilMs = -1;
};

// Test listings name the case rather than dump its bytes.
void PrintTo(const ReadTiming& c, std::ostream* os) { *os << c.what; }

class ReadTimeoutTest : public SerialChannelTest,
                        public ::testing::WithParamInterface<ReadTiming> {};

TEST_P(ReadTimeoutTest, EndsAtTheRightMomentWithTheBytesSoFar) {
    const ReadTiming& c = GetParam();
    FarEnd& e = OpenConfigured("com3", "COM3:");
    Clock::time_point start = Clock::now();
    StartRead(c.n);
    size_t sent = 0;
    unsigned long value = 0;
    int outcome;
    double endedAt;
    do {
        double now = MsSince(start);
        if (sent < c.sendAtMs.size() && now >= c.sendAtMs[sent]) {
            uint8_t b = uint8_t(0xA0 + sent);
            ASSERT_EQ(write(e.master, &b, 1), 1);
            ++sent;
            if (c.awayFromMs >= 0 && now >= c.awayFromMs && MsSince(start) < c.awayUntilMs)
                usleep(useconds_t((c.awayUntilMs - MsSince(start)) * 1000));
        }
        outcome = Poll(ReadRecord, &value);
        endedAt = MsSince(start);
    } while (outcome == PollPending && endedAt < 5000);
    ASSERT_EQ(outcome, PollDone);
    EXPECT_EQ(value, c.count);
    EXPECT_GE(endedAt, c.endsAtMs - 2);
    EXPECT_LE(endedAt, c.endsAtMs + 80);
    for (unsigned long i = 0; i < value; ++i) EXPECT_EQ(IoBuffer.frameArea[i], 0xA0 + i);
}

INSTANTIATE_TEST_SUITE_P(
    SerialChannel, ReadTimeoutTest,
    ::testing::Values(
        ReadTiming{"all bytes at once", 3, {0, 0, 0}, 0, 3},
        ReadTiming{"all bytes spread out", 3, {0, 50, 90}, 90, 3},
        ReadTiming{"silence after two bytes", 6, {0, 50}, 150, 2},
        ReadTiming{"silent line", 2, {}, 240, 0}, ReadTiming{"first byte late", 2, {200}, 240, 1},
        ReadTiming{"silent identification", 6, {}, 720, 0},
        ReadTiming{"answered while the reader was stopped", 2, {0, 50}, 400, 2, 50, 400},
        // A reply in time, seen only after the deadline by a reader
        // that was busy or stopped: however late it looks, it is taken.
        ReadTiming{"answered in time and first seen 5 ms late", 1, {50}, 125, 1, 50, 125},
        ReadTiming{"answered in time and first seen 50 ms late", 1, {50}, 170, 1, 50, 170},
        ReadTiming{"answered in time and first seen 500 ms late", 1, {50}, 620, 1, 50, 620}),
    [](const ::testing::TestParamInfo<ReadTiming>& info) {
        std::string name = info.param.what;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST_F(SerialChannelTest, PollNeverWaits) {
    OpenConfigured("com3", "COM3:");
    StartRead(257);  // may take half a minute on a silent line
    std::vector<double> took;
    for (int i = 0; i < 2000; ++i) {
        unsigned long value = 0;
        Clock::time_point before = Clock::now();
        ASSERT_EQ(Poll(ReadRecord, &value), PollPending);
        took.push_back(MsSince(before));
        EXPECT_EQ(value, ErrorIoIncomplete);
    }
    // Other processes may preempt a poll now and then; a poll that waited for
    // the line would take 100 ms at least, every time.
    std::sort(took.begin(), took.end());
    EXPECT_LT(took[took.size() * 9 / 10], 0.5);
    EXPECT_LT(took.back(), 50.0);
}

// Between two polls the caller may sleep on the line: until bytes come in or
// the read's own timeout falls due, never past either. The bound given here is
// far longer than any of them, so a wait that ran to it would show. Each of
// those ends says the line moved: the caller goes on at once on that word.
TEST_F(SerialChannelTest, AWaitEndsWhenTheLineMovesOrTheReadTimesOut) {
    const unsigned Bound = 20000;
    FarEnd& e = OpenConfigured("com3", "COM3:");
    Clock::time_point start = Clock::now();
    EXPECT_EQ(WaitForChannel(Bound, WakeForLine), WaitEndedByLine);
    EXPECT_LT(MsSince(start), 5000) << "nothing in flight: no wait";

    struct {
        unsigned requested;
        size_t sent;  // bytes the device sends, fewer than requested
        const char* endsBy;
    } cases[] = {{1, 0, "the total timeout"}, {257, 1, "the silence long before the total"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.endsBy);
        unsigned long value = 0;
        StartRead(c.requested);
        if (c.sent > 0) {
            ASSERT_EQ(write(e.master, "AB", c.sent), ssize_t(c.sent));
            start = Clock::now();
            EXPECT_EQ(WaitForChannel(Bound, WakeForLine), WaitEndedByLine);
            EXPECT_LT(MsSince(start), 5000) << "bytes came in";
            ASSERT_EQ(Poll(ReadRecord, &value), PollPending);
        }
        start = Clock::now();
        EXPECT_EQ(WaitForChannel(Bound, WakeForLine), WaitEndedByLine);
        EXPECT_LT(MsSince(start), 5000);
        EXPECT_EQ(Poll(ReadRecord, &value), PollDone) << "the wait ended no earlier than the read";
        EXPECT_EQ(value, c.sent);
    }
}

// A bound shorter than the read's timeouts, on a silent line: the wait says
// it ran out, and the read goes on.
TEST_F(SerialChannelTest, AWaitShorterThanTheReadRunsOut) {
    OpenConfigured("com3", "COM3:");
    StartRead(6);
    EXPECT_EQ(WaitForChannel(5, WakeForLine), WaitRanOut);
    unsigned long value = 0;
    EXPECT_EQ(Poll(ReadRecord, &value), PollPending);
}

TEST_F(SerialChannelTest, AVanishedLineFailsReadsAndWrites) {
    FarEnd& e = OpenConfigured("com3", "COM3:");
    StartRead(6);
    unsigned long value = 0;
    ASSERT_EQ(Poll(ReadRecord, &value), PollPending);
    close(e.master);
    e.master = -1;
    Clock::time_point hungUp = Clock::now();
    EXPECT_EQ(PollUntilSettled(ReadRecord, &value), PollFailed);
    EXPECT_EQ(value, ErrorBrokenPipe);
    EXPECT_LT(MsSince(hungUp), 50.0);

    StartRead(1);
    EXPECT_EQ(PollUntilSettled(ReadRecord, &value), PollFailed);
    EXPECT_EQ(value, ErrorBrokenPipe);

    IoBuffer.frameArea[0] = 0x1B;
    unsigned long started = StartWrite(1);
    if (started == 0) {
        EXPECT_EQ(PollUntilSettled(WriteRecord, &value), PollFailed);
    } else {
        EXPECT_EQ(Poll(WriteRecord, &value), PollFailed);
        EXPECT_EQ(started, value);
    }
    EXPECT_EQ(value, ErrorNotReady);
}

TEST_F(SerialChannelTest, PurgeAbortsThePendingReadAndDropsQueuedBytes) {
    FarEnd& e = OpenConfigured("com3", "COM3:");
    StartRead(6);
    unsigned long value = 0;
    ASSERT_EQ(Poll(ReadRecord, &value), PollPending);
    ASSERT_EQ(write(e.master, "\x01\x02\x03", 3), 3);
    usleep(20000);
    ASSERT_EQ(PurgeChannel(), 0);
    EXPECT_EQ(Poll(ReadRecord, &value), PollFailed);
    EXPECT_EQ(value, ErrorOperationAborted);

    StartRead(1);
    EXPECT_EQ(PollUntilSettled(ReadRecord, &value), PollDone);
    EXPECT_EQ(value, 0u) << "bytes queued before the purge must be gone";

    CloseChannel();
    EXPECT_NE(PurgeChannel(), 0) << "no port open";
}

TEST_F(SerialChannelTest, WithoutAPortEveryOperationFails) {
    unsigned long value = 0;
    EXPECT_EQ(Poll(ReadRecord, &value), PollFailed);
    EXPECT_EQ(value, ErrorInvalidHandle);
    EXPECT_EQ(StartWrite(1), ErrorInvalidHandle);
    EXPECT_EQ(Poll(WriteRecord, &value), PollFailed);
    EXPECT_NE(SendPriorityByte(0x1B), 0);

    OpenConfigured("com3", "COM3:");
    StartRead(6);
    CloseChannel();
    EXPECT_EQ(Poll(ReadRecord, &value), PollFailed) << "a closed port fails the next poll";
    EXPECT_EQ(value, ErrorInvalidHandle);
}

// Whatever a user or the system calls a port, kept as the name the channel
// opens: a path as given, a bare name as the port folder's link (in either
// case of letters) or, without a folder, as a device in /dev.
TEST_F(SerialChannelTest, PortNamesAreKeptAsThePathsTheSystemOpens) {
    FarEnd& com3 = AddPort("com3");
    FarEnd& device = AddPort("dev-a");
    struct Case {
        const char* given;
        std::string kept;
    } cases[] = {
        {"com3", com3.link},
        {"COM3", com3.link},
        {"COM3:", com3.link},
        {"\\\\.\\COM3", com3.link},
        {"DEV-A", device.link},
        {"com9", dir + "/com9"},
        {device.link.c_str(), device.link},
        {"..", ""},
        {"a\\b", ""},
        {"COM3::", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(KeptPortName(c.given), c.kept) << c.given;

    UseNamedPorts({device.link, com3.link});
    EXPECT_EQ(std::string(ListedPortName(0)), device.link);
    EXPECT_EQ(ListedPortName(2), nullptr);
    ASSERT_EQ(OpenChannel(ListedPortName(0)), 0);
    ASSERT_EQ(ConfigureChannel(), 0);
    IoBuffer.frameArea[0] = 0x1B;
    ASSERT_EQ(StartWrite(1), ErrorSuccess);
    EXPECT_EQ(ReadFarEnd(device.master, 1), std::vector<uint8_t>{0x1B});
    EXPECT_TRUE(ReadFarEnd(com3.master, 1, 50).empty());

    unsetenv("SELVO_PORT_DIR");
    EXPECT_EQ(KeptPortName("ttyS0"), "/dev/ttyS0");
    FreePortTable();
    EXPECT_EQ(ListedPortName(0), nullptr) << "the named ports go with the table";
}

}  // namespace

// Port opening and device detection over the native channel, on real ptys:
// silent ones, ones held by another program, a non-terminal, small fake
// devices with chosen replies, and the simulated controller.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "operator/operator.h"
#include "serial/port_choice.h"
#include "serial/port_open.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"
#include "support/operator_recorder.h"
#include "support/port_folder.h"
#include "support/sim_process.h"
#include "transfer/transfer.h"

namespace {

// The texts as the operator sees them, spelled in Windows-1250 bytes here so a
// wrong code page or a lost space shows up.
const char OpenFailed[] =
    "B\xB3\xB9"
    "d otwarcia portu !";
const char ConfigureFailed[] =
    "B\xB3\xB9"
    "d konfiguracji portu !";
const char Warning[] =
    "Ostrze\xBF"
    "enie";
const char NotFound[] =
    "Nie znalaz\xB3"
    "em Dm730 !\nPod\xB3\xB9"
    "cz urz\xB9"
    "dzenie, przygotuj do transmisji\ni spr\xF3"
    "buj ponownie.";

const unsigned char ValidIdent[6] = {0x03, 0x05, 0x01, 0x14, 0xE3, 0x06};

struct Pty {
    int master = -1;
    std::string slave;
};

Pty OpenPty() {
    Pty p;
    p.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (p.master >= 0 && grantpt(p.master) == 0 && unlockpt(p.master) == 0)
        p.slave = ptsname(p.master);
    return p;
}

// Everything the program sent to the far end so far.
std::string Drain(int master) {
    std::string got;
    char buf[64];
    ssize_t n;
    while ((n = read(master, buf, sizeof buf)) > 0) got.append(buf, n);
    return got;
}

// True when nobody holds the path, the way the channel would test it.
bool IsFree(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

// A device that answers every ESC with a fixed reply, on the master side of a pty.
class FakeDevice {
  public:
    FakeDevice(int master, std::vector<unsigned char> reply) : master_(master), reply_(reply) {
        thread_ = std::thread([this] { Run(); });
    }
    ~FakeDevice() {
        stop_ = true;
        thread_.join();
    }
    int requests() const { return requests_; }

  private:
    void Run() {
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN)) {
                // With the far end closed the master reports a hang-up at once.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            unsigned char buf[64];
            ssize_t n = read(master_, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] != 0x1B) continue;
                ++requests_;
                if (!reply_.empty() && write(master_, reply_.data(), reply_.size()) < 0) break;
            }
        }
    }
    int master_;
    std::vector<unsigned char> reply_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

// The port folder of the native build: links com1, com2, ... to whatever each test needs.
class PortDetection : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetScreen();
        currentPort = 0;
        TransferJob.phase = PhaseIdle;
    }
    void TearDown() override {
        if (IsChannelOpen()) CloseChannel();
        StopSim(sim_);
        devices_.clear();
        for (int fd : masters_) close(fd);
        FreePortTable();
        TransferJob.phase = PhaseIdle;
    }
    // Port "COMn:" of the table leads to target.
    void LinkPort(int n, const std::string& target) {
        std::string link = folder_ + "/com" + std::to_string(n);
        ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    }
    // A pty nobody answers on; returns its master.
    Pty SilentPort(int n) {
        Pty p = OpenPty();
        EXPECT_GE(p.master, 0);
        masters_.push_back(p.master);
        LinkPort(n, p.slave);
        return p;
    }
    FakeDevice& DevicePort(int n, std::vector<unsigned char> reply) {
        Pty p = SilentPort(n);
        devices_.emplace_back(new FakeDevice(p.master, reply));
        return *devices_.back();
    }
    std::string RegularFile(const char* name) {
        std::string path = folder_ + "/" + name;
        FILE* f = std::fopen(path.c_str(), "w");
        EXPECT_NE(f, nullptr);
        if (f) std::fclose(f);
        return path;
    }
    void BuildTable(int ports) {
        BuildPortTable();
        for (int i = 0; i < ports; ++i)
            ASSERT_EQ(std::string(PortTable[i]), "COM" + std::to_string(i + 1) + ":");
        ASSERT_STREQ(PortTable[ports], "");
    }
    PortFolder ports_;
    std::string folder_ = ports_.Path().string();
    std::vector<int> masters_;
    std::vector<std::unique_ptr<FakeDevice>> devices_;
    SimProcess sim_;
};

void ExpectBox(size_t i, const char* text, const char* caption) {
    ASSERT_GT(Screen.boxes.size(), i);
    EXPECT_EQ(Screen.boxes[i].text, text);
    EXPECT_EQ(Screen.boxes[i].caption, caption);
    EXPECT_EQ(Screen.boxes[i].style, BoxOk | BoxIconWarning);
}

TEST_F(PortDetection, FindsTheSimulatedControllerOnTheThirdOfFourPorts) {
    Pty first = SilentPort(1);
    Pty second = SilentPort(2);
    SimProcess& sim = sim_;
    ASSERT_EQ(StartSim(sim, folder_ + "/com3", {}), 0);
    Pty fourth = SilentPort(4);
    BuildTable(4);

    EXPECT_EQ(DetectDevice(), DeviceFound);

    EXPECT_EQ(currentPort, 2);
    EXPECT_TRUE(IsChannelOpen());
    EXPECT_EQ(WaitSimEvent(sim, "ident", 1000), 0);
    // The two ports before it were opened, asked and closed again; the one after was never touched.
    EXPECT_EQ(Drain(first.master), "\x1B");
    EXPECT_EQ(Drain(second.master), "\x1B");
    EXPECT_EQ(Drain(fourth.master), "");
    EXPECT_TRUE(IsFree(first.slave));
    EXPECT_TRUE(IsFree(second.slave));
    EXPECT_FALSE(IsFree(sim.ttyPath));
    EXPECT_EQ(MarkedPorts(), std::vector<int>{2});
    EXPECT_EQ(Screen.markCalls, (std::vector<std::pair<int, bool>>{{2, true}}));
    EXPECT_TRUE(Screen.boxes.empty());
    CloseChannel();
    StopSim(sim);
    EXPECT_EQ(SimLines(sim).size(), 2u) << "only the ready line and one identification";
}

TEST_F(PortDetection, PortHeldByAnotherProgramIsSkippedQuietlyAndRefusedByHand) {
    Pty held = SilentPort(1);
    FakeDevice& device = DevicePort(2, std::vector<unsigned char>(ValidIdent, ValidIdent + 6));
    BuildTable(2);
    int holder = open(held.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);

    EXPECT_EQ(DetectDevice(), DeviceFound);
    EXPECT_EQ(currentPort, 1);
    EXPECT_EQ(device.requests(), 1);
    EXPECT_EQ(Drain(held.master), "");
    EXPECT_TRUE(Screen.boxes.empty());

    ChoosePort(0);
    ASSERT_EQ(Screen.boxes.size(), 1u);
    ExpectBox(0, OpenFailed, Warning);
    EXPECT_FALSE(IsChannelOpen());
    EXPECT_TRUE(IsFree(folder_ + "/com2"));
    EXPECT_EQ(currentPort, 0);
    EXPECT_TRUE(MarkedPorts().empty());
    EXPECT_EQ(Screen.markCalls, (std::vector<std::pair<int, bool>>{{1, true}, {1, false}}));
    close(holder);
}

TEST_F(PortDetection, PortThatCannotBeConfiguredIsClosedAgain) {
    LinkPort(1, RegularFile("not-a-tty"));
    FakeDevice& device = DevicePort(2, std::vector<unsigned char>(ValidIdent, ValidIdent + 6));
    BuildTable(2);

    currentPort = 1;
    ChoosePort(0);
    ASSERT_EQ(Screen.boxes.size(), 1u);
    ExpectBox(0, ConfigureFailed, Warning);
    EXPECT_FALSE(IsChannelOpen());
    EXPECT_TRUE(IsFree(folder_ + "/com1"));
    EXPECT_TRUE(MarkedPorts().empty());

    // Detection passes over it without a word.
    EXPECT_EQ(DetectDevice(), DeviceFound);
    EXPECT_EQ(currentPort, 1);
    EXPECT_EQ(device.requests(), 1);
    EXPECT_EQ(Screen.boxes.size(), 1u);
    EXPECT_TRUE(IsFree(folder_ + "/com1"));
}

struct ReplyCase {
    const char* what;
    std::vector<unsigned char> reply;
    bool answered;
};

TEST_F(PortDetection, OnlySixBytesEndingInAckCount) {
    const ReplyCase cases[] = {
        {"6 bytes ending in NAK", {0x03, 0x05, 0x01, 0x14, 0xE3, 0x15}, false},
        {"6 bytes ending in 0", {0x03, 0x05, 0x01, 0x14, 0xE3, 0x00}, false},
        {"5 bytes ending in ACK", {0x03, 0x05, 0x01, 0x14, 0x06}, false},
        {"ACK alone", {0x06}, false},
        {"6 bytes, bad checksum, ACK", {0x03, 0x05, 0x01, 0x14, 0x00, 0x06}, true},
        {"7 bytes, ACK at byte 5", {0x03, 0x05, 0x01, 0x14, 0xE3, 0x06, 0x15}, true},
    };
    int n = 0;
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.what);
        ++n;
        FakeDevice& device = DevicePort(n, c.reply);
        BuildPortTable();
        // Only this device's port counts: every earlier one gets a dangling link.
        for (int i = 1; i < n; ++i) {
            std::string link = folder_ + "/com" + std::to_string(i);
            unlink(link.c_str());
            ASSERT_EQ(symlink((folder_ + "/gone").c_str(), link.c_str()), 0);
        }
        ResetScreen();
        EXPECT_EQ(DetectDevice(), c.answered ? DeviceFound : NoDeviceFound);
        EXPECT_EQ(device.requests(), 1);
        EXPECT_EQ(IsChannelOpen(), c.answered);
        EXPECT_EQ(currentPort, n - 1);
        EXPECT_EQ(MarkedPorts(), c.answered ? std::vector<int>{n - 1} : std::vector<int>{});
        EXPECT_TRUE(Screen.boxes.empty());
        if (IsChannelOpen()) CloseChannel();
    }
}

TEST_F(PortDetection, ReopenAfterFailedDetectionOpensTheLastPort) {
    SilentPort(1);
    Pty last = SilentPort(2);
    BuildTable(2);
    ASSERT_EQ(DetectDevice(), NoDeviceFound);
    EXPECT_EQ(currentPort, 1);
    EXPECT_FALSE(IsChannelOpen());
    Drain(last.master);

    EXPECT_EQ(ReopenPort(), PortReady);
    EXPECT_TRUE(IsChannelOpen());
    EXPECT_FALSE(IsFree(last.slave));
    EXPECT_EQ(currentPort, 1);
    // A plain reopen asks nothing of the port and marks nothing.
    EXPECT_EQ(Drain(last.master), "");
    EXPECT_TRUE(Screen.markCalls.empty());
    EXPECT_TRUE(Screen.boxes.empty());
}

TEST_F(PortDetection, ReopenFallsBackToDetectionWhenThePortIsGone) {
    FakeDevice& device = DevicePort(1, std::vector<unsigned char>(ValidIdent, ValidIdent + 6));
    LinkPort(2, folder_ + "/unplugged");
    BuildTable(2);
    currentPort = 1;

    EXPECT_EQ(ReopenPort(), PortReady);
    ASSERT_EQ(Screen.boxes.size(), 1u);
    ExpectBox(0, OpenFailed, Warning);
    EXPECT_EQ(device.requests(), 1);
    EXPECT_EQ(currentPort, 0);
    EXPECT_TRUE(IsChannelOpen());
    EXPECT_EQ(Screen.markCalls, (std::vector<std::pair<int, bool>>{{1, false}, {0, true}}));
}

TEST_F(PortDetection, ReopenShowsBothMessagesWhenNothingAnswers) {
    SilentPort(1);
    LinkPort(2, folder_ + "/unplugged");
    BuildTable(2);
    currentPort = 1;

    EXPECT_EQ(ReopenPort(), NoPortReady);
    ASSERT_EQ(Screen.boxes.size(), 2u);
    ExpectBox(0, OpenFailed, Warning);
    ExpectBox(1, NotFound, "Mamy problem :");
    EXPECT_STREQ(DeviceNotFoundText, NotFound);
    EXPECT_STREQ(DeviceNotFoundCaption, "Mamy problem :");
    EXPECT_FALSE(IsChannelOpen());
    EXPECT_EQ(currentPort, 1);
}

TEST_F(PortDetection, AutoDuringATransferClosesThePortAndLeavesThePhase) {
    Pty port = SilentPort(1);
    BuildTable(1);
    ChoosePort(0);
    ASSERT_TRUE(IsChannelOpen());
    TransferJob.phase = PhaseCommandSent;

    ChoosePortAuto();

    EXPECT_EQ(TransferJob.phase, PhaseCommandSent);
    EXPECT_FALSE(IsChannelOpen());
    EXPECT_TRUE(IsFree(port.slave));
    EXPECT_EQ(Screen.markCalls,
              (std::vector<std::pair<int, bool>>{{0, false}, {0, true}, {0, false}}));
    ASSERT_EQ(Screen.boxes.size(), 1u);
    ExpectBox(0, NotFound, "Mamy problem :");
}

TEST_F(PortDetection, AutoFindsTheDeviceAgainAfterAHandChoice) {
    SilentPort(1);
    FakeDevice& device = DevicePort(2, std::vector<unsigned char>(ValidIdent, ValidIdent + 6));
    BuildTable(2);
    ChoosePort(0);
    ASSERT_TRUE(IsChannelOpen());
    EXPECT_EQ(MarkedPorts(), std::vector<int>{0});

    ChoosePortAuto();
    EXPECT_EQ(device.requests(), 1);
    EXPECT_EQ(currentPort, 1);
    EXPECT_TRUE(IsChannelOpen());
    EXPECT_EQ(MarkedPorts(), std::vector<int>{1});
    EXPECT_TRUE(Screen.boxes.empty());
}

TEST_F(PortDetection, ChoosingByHandMovesTheMarkAndMakesNoProbe) {
    FakeDevice& device = DevicePort(1, std::vector<unsigned char>(ValidIdent, ValidIdent + 6));
    Pty other = SilentPort(2);
    BuildTable(2);
    ASSERT_EQ(DetectDevice(), DeviceFound);

    ChoosePort(1);
    EXPECT_EQ(currentPort, 1);
    EXPECT_TRUE(IsChannelOpen());
    EXPECT_FALSE(IsFree(other.slave));
    EXPECT_TRUE(IsFree(folder_ + "/com1"));
    EXPECT_EQ(device.requests(), 1);
    EXPECT_EQ(Drain(other.master), "");
    EXPECT_EQ(MarkedPorts(), std::vector<int>{1});
    EXPECT_EQ(Screen.markCalls,
              (std::vector<std::pair<int, bool>>{{0, true}, {0, false}, {1, true}}));

    // Ids past the table are not port items: nothing changes.
    for (int index : {2, 3, 100, -1}) ChoosePort(index);
    EXPECT_EQ(currentPort, 1);
    EXPECT_TRUE(IsChannelOpen());
    EXPECT_EQ(Screen.markCalls.size(), 3u);
    EXPECT_TRUE(Screen.boxes.empty());
}

// The silent port's read ends by its timeouts; detection goes on to the next.
TEST_F(PortDetection, ASilentPortIsPassedOver) {
    Pty silent = SilentPort(1);
    FakeDevice& device = DevicePort(2, std::vector<unsigned char>(ValidIdent, ValidIdent + 6));
    BuildTable(2);
    EXPECT_EQ(DetectDevice(), DeviceFound);
    EXPECT_EQ(currentPort, 1);
    EXPECT_EQ(device.requests(), 1);
    EXPECT_EQ(Drain(silent.master), "\x1B");
    EXPECT_TRUE(IsFree(silent.slave));
    EXPECT_EQ(MarkedPorts(), std::vector<int>{1});
    EXPECT_TRUE(Screen.boxes.empty());
}

}  // namespace

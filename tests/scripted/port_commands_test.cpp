// The port menu's commands and the detection probe over the scripted channel:
// a running transfer is stopped first, and a port whose driver ignores its
// timeouts cannot hold the program.
#include <gtest/gtest.h>

#include "app/port_commands.h"
#include "protocol/frames.h"
#include "serial/port_open.h"
#include "serial/port_table.h"
#include "support/fake_channel.h"
#include "support/operator_recorder.h"
#include "support/prepared_transfer.h"
#include "transfer/transfer.h"

namespace {

PortSlot TwoPorts[3] = {"COM1", "COM2", ""};
const std::vector<uint8_t> ValidIdent = {0x03, 0x05, 0x01, 0x14, 0xE3, 0x06};

class PortCommandsTest : public ::testing::Test {
  protected:
    PortSlot* savedTable = nullptr;

    void SetUp() override {
        savedTable = PortTable;
        PortTable = TwoPorts;
        Reset();
    }

    void Reset() {
        currentPort = 0;
        ResetScreen();
        ResetFakeChannel();
        ResetTransferJob();
        FakeChannel.open = true;
        FakeChannel.portName = "COM1";
    }

    void TearDown() override {
        PortTable = savedTable;
        ResetTransferJob();
    }
};

TEST_F(PortCommandsTest, ProbeGivesUpAPortWhoseReadIgnoresItsTimeouts) {
    // COM1 would answer, but only after five seconds; COM2 at once.
    FakeChannel.readStallMs["COM1"] = 5000;
    ScriptPortRead("COM1", ValidIdent);
    ScriptPortRead("COM2", ValidIdent);
    FakeChannel.open = false;
    EXPECT_EQ(DetectDevice(), DeviceFound);
    EXPECT_EQ(currentPort, 1);
    EXPECT_EQ(FakeChannel.portName, "COM2");
    EXPECT_EQ(MarkedPorts(), std::vector<int>{1});
    EXPECT_EQ(FakeChannel.openNames, (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_EQ(FakeChannel.closes, 1) << "COM1 closed, its read with it";
}

// What the probe met on a port that did not answer is kept for the front end
// to tell the technician: the bytes that came instead, and the faults the
// driver counted while it listened (never those from before).
TEST_F(PortCommandsTest, ProbeKeepsWhatEachSilentOrWrongPortGaveIt) {
    ScriptPortRead("COM1", {0xf8, 0x00, 0x00, 0xf0, 0x3c, 0x1e, 0x78});
    ScriptPortRead("COM2", {});
    FakeChannel.faultsCounted = true;
    FakeChannel.faults = LineErrorCounts{7, 1, 0, 0};
    FakeChannel.framingPerRead = 3;
    FakeChannel.open = false;
    EXPECT_EQ(DetectDevice(), NoDeviceFound);
    PortAttempt first = DetectionAttempt(0);
    EXPECT_EQ(first.outcome, PortOpened);
    ASSERT_EQ(first.replyCount, IdentReplySize) << "a read takes no more than the reply's size";
    EXPECT_EQ(std::vector<uint8_t>(first.reply, first.reply + 6),
              (std::vector<uint8_t>{0xf8, 0x00, 0x00, 0xf0, 0x3c, 0x1e}));
    EXPECT_TRUE(first.faultsCounted);
    EXPECT_EQ(first.faults.framing, 3u);
    EXPECT_EQ(first.faults.parity, 0u);
    PortAttempt second = DetectionAttempt(1);
    EXPECT_EQ(second.replyCount, 0u);
    EXPECT_EQ(second.faults.framing, 3u);
    // A driver that counts nothing says nothing.
    Reset();
    FakeChannel.open = false;
    ScriptPortRead("COM1", {0x1b});
    EXPECT_EQ(DetectDevice(), NoDeviceFound);
    EXPECT_FALSE(DetectionAttempt(0).faultsCounted);
    EXPECT_EQ(DetectionAttempt(0).replyCount, 1u);
    EXPECT_EQ(DetectionAttempt(0).reply[0], 0x1b);
}

struct PortCommandCase {
    const char* what;
    void (*command)();
};

TEST_F(PortCommandsTest, PortCommandsStopARunningTransferFirst) {
    const PortCommandCase cases[] = {
        {"auto", [] { RunPortAuto(); }},
        {"port 1", [] { RunPortChoice(0); }},
        {"port 2", [] { RunPortChoice(1); }},
    };
    for (const PortCommandCase& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        ScriptPortRead("COM1", ValidIdent);
        TransferJob.phase = PhaseBlockReceive;
        c.command();
        EXPECT_EQ(TransferJob.phase, PhaseIdle);
        ASSERT_FALSE(Screen.repaints.empty());
        EXPECT_EQ(Screen.repaints[0], "window") << "the stop's repaint";
        EXPECT_GE(FakeChannel.purges, 1);
        EXPECT_TRUE(FakeChannel.open);
    }
}

TEST_F(PortCommandsTest, WithoutATransferOrForAnUnlistedPortNothingIsStopped) {
    ScriptPortRead("COM1", ValidIdent);
    RunPortChoice(1);
    EXPECT_EQ(FakeChannel.purges, 0) << "no stop, and a port chosen by hand is not probed";
    EXPECT_TRUE(Screen.repaints.empty());
    EXPECT_EQ(currentPort, 1);

    TransferJob.phase = PhaseBlockSent;
    RunPortChoice(2);
    RunPortChoice(-1);
    EXPECT_EQ(TransferJob.phase, PhaseBlockSent) << "not a port item: nothing happens";
    EXPECT_EQ(currentPort, 1);
}

}  // namespace

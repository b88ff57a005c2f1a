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

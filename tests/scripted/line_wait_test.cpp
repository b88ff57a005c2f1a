// Sleeping on the line instead of spinning: the pump may wait only after a
// step that found its operation still pending, and the detection probe sleeps
// between the polls of its read and nowhere else.
#include "scripted/scripted_device.h"

#include "cli/transfers/transfer_loop.h"
#include "serial/port_open.h"
#include "serial/port_table.h"

namespace {

class LineWaitTest : public TransferFixture {
  protected:
    ScriptedDevice device;

    void TearDown() override {
        FreePortTable();
        TransferFixture::TearDown();
    }
};

TEST_F(LineWaitTest, OnlyAStepThatFoundItsOperationPendingLetsThePumpWait) {
    for (const PollingPhase& c : PollingPhases) {
        SCOPED_TRACE("phase " + std::to_string(c.phase));
        ASSERT_TRUE(StandAtPhase(device, c.action, c.phase));
        ScriptPending(c.record, 1);
        StepTransfer(unsigned(c.phase));
        EXPECT_TRUE(StepFoundPending());
        StepTransfer(unsigned(c.phase));
        EXPECT_FALSE(StepFoundPending()) << "completed: the next phase is posted at once";
        EXPECT_NE(TransferJob.phase, c.phase);
    }
}

TEST_F(LineWaitTest, NoOtherStepLetsThePumpWait) {
    // Steps that poll nothing (3 and 9), messages for no phase, and a poll
    // that fails, each right after a pending step: the answer is about the
    // latest step only.
    const unsigned phases[] = {PhaseSendCommand, PhaseBlockDone, 0u, 10u, PhaseBlockSent};
    for (unsigned p : phases) {
        SCOPED_TRACE("phase " + std::to_string(p));
        TearDown();
        SetUp();
        Begin(ActionWriteToDevice, KindFirmware, MakeFile("w.upg", Pattern(600)));
        ASSERT_TRUE(RunToPhase(device, PhaseBlockSent, 0));
        ScriptPending(WriteRecord, 1);
        StepTransfer(PhaseBlockSent);
        ASSERT_TRUE(StepFoundPending());
        if (p == PhaseBlockSent) ScriptPollFailure(WriteRecord, ErrorGenFailure);
        StepTransfer(p);
        EXPECT_FALSE(StepFoundPending());
    }
}

// dm730's pump: a wait after each step that found its operation pending, and
// after no other.
TEST_F(LineWaitTest, TheCommandLinesPumpWaitsOnlyAfterAPendingStep) {
    Begin(ActionReadFromDevice, KindFirmware, PathOf("r.upg"));
    TransferJob.blocksLeft = 1;
    std::vector<uint8_t> frame(BlockSize, 7);
    frame.push_back(uint8_t(0x100 - SumBytes(frame.data(), BlockSize)));
    ScriptRead(device.ident);
    ScriptRead({ByteAck});
    ScriptRead(frame);
    ScriptPending(WriteRecord, 1);
    ScriptPending(ReadRecord, 2);
    EXPECT_EQ(PumpTransfer(), PumpEnded);
    EXPECT_EQ(TransferJob.failure, FailureNone);
    EXPECT_EQ(TransferJob.nextBlock, 1);
    EXPECT_EQ(FakeChannel.waits.size(), 3u);
}

TEST_F(LineWaitTest, TheProbeSleepsOnTheLineWhileItsReadIsPending) {
    struct {
        int pending;     // polls that find the read pending
        bool readFails;  // the read then fails instead of completing
        DetectOutcome found;
    } cases[] = {{0, false, DeviceFound}, {3, false, DeviceFound}, {2, true, NoDeviceFound}};
    char name[] = "COM1:";
    PortRecord record = {name};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pending) + " pending, read fails " +
                     std::to_string(c.readFails));
        ResetFakeChannel();
        FillPortTable(&record, 1);
        currentPort = 0;
        ScriptPending(ReadRecord, c.pending);
        if (c.readFails)
            ScriptPollFailure(ReadRecord, ErrorGenFailure);
        else
            ScriptRead(device.ident);
        EXPECT_EQ(DetectDevice(), c.found);
        EXPECT_EQ(FakeChannel.waits, std::vector<int>(size_t(c.pending), WakeForLine));
        EXPECT_EQ(FakeChannel.waitBounds,
                  std::vector<unsigned>(size_t(c.pending), ChannelWaitLimitMs));
        EXPECT_EQ(FakeChannel.pollRecords.size(), size_t(c.pending) + 1);
    }
}

}  // namespace

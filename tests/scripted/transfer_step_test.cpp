// What one step may touch: nothing while idle or pending, the repaints in
// their order, and the stop command.
#include "scripted/scripted_device.h"

#include <cstring>

#include "operator/operator.h"
#include "protocol/io_buffer.h"

namespace {

struct JobSnapshot {
    int32_t kind, action, phase, lastChecksum;
    uint16_t nextBlock, blocksLeft, firstBlock;
    std::vector<uint8_t> area;
    size_t writes, reads;

    static JobSnapshot Take() {
        const uint8_t* a = reinterpret_cast<const uint8_t*>(&IoBuffer);
        return JobSnapshot{TransferJob.kind,          TransferJob.action,
                           TransferJob.phase,         TransferJob.lastChecksum,
                           TransferJob.nextBlock,     TransferJob.blocksLeft,
                           TransferJob.firstBlock,    std::vector<uint8_t>(a, a + sizeof IoBuffer),
                           FakeChannel.writes.size(), FakeChannel.readRequests.size()};
    }
    bool operator==(const JobSnapshot& o) const {
        return kind == o.kind && action == o.action && phase == o.phase &&
               lastChecksum == o.lastChecksum && nextBlock == o.nextBlock &&
               blocksLeft == o.blocksLeft && firstBlock == o.firstBlock && area == o.area &&
               writes == o.writes && reads == o.reads;
    }
};

class TransferStepTest : public TransferFixture {
  protected:
    ScriptedDevice device;
};

TEST_F(TransferStepTest, StepsForIdleUnknownOrStalePhasesDoNothing) {
    Begin(ActionWriteToDevice, KindFirmware, MakeFile("a.upg", Pattern(700)));
    ASSERT_TRUE(RunToPhase(device, PhaseSendCommand, 0));
    ResetScreen();
    FakeChannel.pollRecords.clear();
    JobSnapshot before = JobSnapshot::Take();
    // Idle, unknown, and every phase but the one the transfer stands in: a
    // message posted before a stop or a new start.
    for (unsigned p : {0u, 1u, 2u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 255u, 0xFFFFFFFFu})
        StepTransfer(p);
    EXPECT_TRUE(JobSnapshot::Take() == before);
    EXPECT_TRUE(FakeChannel.pollRecords.empty());
    EXPECT_TRUE(Screen.repaints.empty());
    EXPECT_TRUE(Screen.boxes.empty());
    EXPECT_TRUE(TransferJob.inputFile.is_open());
}

TEST_F(TransferStepTest, PendingPollChangesNothingAndRepaintsNothing) {
    for (const PollingPhase& c : PollingPhases) {
        SCOPED_TRACE("phase " + std::to_string(c.phase));
        ASSERT_TRUE(StandAtPhase(device, c.action, c.phase));
        ResetScreen();
        JobSnapshot before = JobSnapshot::Take();
        ScriptPending(c.record, 3);
        for (int i = 0; i < 3; ++i) StepTransfer(unsigned(c.phase));
        EXPECT_TRUE(JobSnapshot::Take() == before);
        EXPECT_TRUE(Screen.repaints.empty());
        EXPECT_TRUE(Screen.boxes.empty());
        // Once the operation completes the same step moves on.
        StepTransfer(unsigned(c.phase));
        EXPECT_NE(TransferJob.phase, c.phase);
        EXPECT_EQ(Screen.repaints.back(), "phase");
    }
}

TEST_F(TransferStepTest, RepaintsFollowEachStepInOrder) {
    Begin(ActionWriteToDevice, KindFirmware, MakeFile("empty.upg", {}));
    ASSERT_TRUE(RunToEnd(device));
    // Phases 1, 2 (window first: the versions changed), 3 to 7, then 9 (the
    // counter first).
    const std::vector<std::string> written = {"phase", "window", "phase", "phase",    "phase",
                                              "phase", "phase",  "phase", "progress", "phase"};
    EXPECT_EQ(Screen.repaints, written);

    TearDown();
    SetUp();
    Begin(ActionReadFromDevice, KindLibraries, PathOf("r.lib"));
    ASSERT_TRUE(RunToPhase(device, PhaseSendCommand, 513));
    ResetScreen();
    ASSERT_TRUE(RunToPhase(device, PhaseSendCommand, 514));
    const std::vector<std::string> oneBlockRead = {"phase", "phase",    "phase",
                                                   "phase", "progress", "phase"};
    EXPECT_EQ(Screen.repaints, oneBlockRead);
}

TEST_F(TransferStepTest, ValidIdentificationReplySetsTheVersionTexts) {
    device.ident = {0x02, 0x64, 0x0A, 0x00, uint8_t(0x100 - 0x02 - 0x64 - 0x0A), 0x06};
    Begin(ActionReadFromDevice, KindScenes, PathOf("s.usr"));
    EXPECT_STREQ(IoBuffer.firmwareVersionText, "N/A");
    ASSERT_TRUE(RunToPhase(device, PhaseSendCommand, 896));
    EXPECT_STREQ(IoBuffer.firmwareVersionText, "2.??");
    EXPECT_STREQ(IoBuffer.secondVersionText, "?.??");
    EXPECT_EQ(TransferJob.lastChecksum, 0);
}

TEST_F(TransferStepTest, StopInTheMiddleLeavesTheFileOpenAndTheCounters) {
    std::string path = PathOf("part.usr");
    Begin(ActionReadFromDevice, KindScenes, path);
    ASSERT_TRUE(RunToPhase(device, PhaseBlockReceive, 900));
    ResetScreen();
    JobSnapshot before = JobSnapshot::Take();
    StopTransfer();
    EXPECT_EQ(TransferJob.phase, PhaseIdle);
    EXPECT_EQ(TransferJob.failure, FailureStopped);
    EXPECT_EQ(FakeChannel.purges, 1);
    EXPECT_EQ(Screen.repaints, std::vector<std::string>{"window"});
    EXPECT_TRUE(Screen.boxes.empty());
    EXPECT_TRUE(TransferJob.outputFile.is_open());
    before.phase = PhaseIdle;
    EXPECT_TRUE(JobSnapshot::Take() == before);
    // The pump now posts phase 0: the aborted read is never polled again.
    FakeChannel.pollRecords.clear();
    StepTransfer(unsigned(TransferJob.phase));
    EXPECT_TRUE(FakeChannel.pollRecords.empty());
    // The four blocks read before the stop are in the file, none other.
    TransferJob.outputFile.close();
    EXPECT_EQ(ReadWhole(path).size(), 4u * BlockSize);
}

TEST_F(TransferStepTest, EachBlockNeedsItsSteps) {
    Begin(ActionWriteToDevice, KindFirmware, MakeFile("two.upg", Pattern(512)));
    ASSERT_TRUE(RunToPhase(device, PhaseSendCommand, 0));
    int start = device.steps;
    ASSERT_TRUE(RunToPhase(device, PhaseSendCommand, 1));
    EXPECT_EQ(device.steps - start, 6) << "phases 3, 4, 5, 6, 7, 9";

    TearDown();
    SetUp();
    device = ScriptedDevice();
    Begin(ActionVerify, KindFirmware, MakeFile("v.upg", std::vector<uint8_t>(1024)));
    ASSERT_TRUE(RunToPhase(device, PhaseSendCommand, 0));
    start = device.steps;
    ASSERT_TRUE(RunToPhase(device, PhaseSendCommand, 1));
    EXPECT_EQ(device.steps - start, 5) << "phases 3, 4, 5, 8, 9";
}

}  // namespace

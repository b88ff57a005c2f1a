// A Dm730 played over the scripted channel: whenever the transfer is about to
// complete a read and nothing is scripted, the answer comes from a memory
// image, as the controller would give it. A test scripts a read of its own to
// put a fault at a chosen place.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "protocol/frames.h"
#include "serial/serial_channel.h"
#include "support/byte_files.h"
#include "support/fake_channel.h"
#include "support/operator_recorder.h"
#include "support/prepared_transfer.h"
#include "support/temp_folder.h"
#include "transfer/transfer.h"

struct ScriptedDevice {
    std::vector<uint8_t> memory = std::vector<uint8_t>(DeviceBlockCount * BlockSize);
    std::vector<uint8_t> ident = {0x03, 0x05, 0x01, 0x14, 0xE3, 0x06};
    std::vector<unsigned> blocksWritten;  // in the order the frames arrived
    std::vector<unsigned> blocksRead;
    int steps = 0;
};

inline unsigned CommandBlock(const std::vector<uint8_t>& command) {
    return command[1] | (command[2] << 8);
}

// The answer the controller gives for the step about to run.
inline void AnswerFor(ScriptedDevice& device, unsigned phase) {
    if (!FakeChannel.reads.empty()) return;
    const auto& writes = FakeChannel.writes;
    if (phase == PhaseIdentReply || phase == PhaseRetryIdent) {
        ScriptRead(device.ident);
    } else if (phase == PhaseCommandAck) {
        ScriptRead({ByteAck});
    } else if (phase == PhaseBlockAck) {
        const std::vector<uint8_t>& frame = writes.back();
        unsigned block = CommandBlock(writes[writes.size() - 2]);
        std::copy(frame.begin(), frame.begin() + BlockSize,
                  device.memory.begin() + block * BlockSize);
        device.blocksWritten.push_back(block);
        ScriptRead({ByteAck});
    } else if (phase == PhaseBlockReceive) {
        unsigned block = CommandBlock(writes.back());
        std::vector<uint8_t> frame(device.memory.begin() + block * BlockSize,
                                   device.memory.begin() + (block + 1) * BlockSize);
        frame.push_back(uint8_t(0x100 - SumBytes(frame.data(), BlockSize)));
        device.blocksRead.push_back(block);
        ScriptRead(frame);
    }
}

// One step of the pump, with the controller's answer ready.
inline void StepWithDevice(ScriptedDevice& device, unsigned phase) {
    AnswerFor(device, phase);
    StepTransfer(phase);
    ++device.steps;
}

// Steps the transfer as the idle pump would, until `stop` holds or the phase
// is idle; false when it did not get there within maxSteps.
template <class Stop>
bool RunUntil(ScriptedDevice& device, Stop stop, int maxSteps = 100000) {
    for (int i = 0; i < maxSteps; ++i) {
        if (TransferJob.phase == PhaseIdle || stop()) return true;
        StepWithDevice(device, unsigned(TransferJob.phase));
    }
    return false;
}

inline bool RunToEnd(ScriptedDevice& device) {
    return RunUntil(device, [] { return false; });
}

inline bool RunToPhase(ScriptedDevice& device, int phase, unsigned block) {
    return RunUntil(device,
                    [&] { return TransferJob.phase == phase && TransferJob.nextBlock == block; });
}

// Every phase that polls a record on its way, with an action that reaches it
// and the record it polls.
struct PollingPhase {
    int action;
    int phase;
    ChannelRecord record;
};
const PollingPhase PollingPhases[] = {
    {ActionWriteToDevice, 1, WriteRecord}, {ActionWriteToDevice, 2, ReadRecord},
    {ActionWriteToDevice, 4, WriteRecord}, {ActionWriteToDevice, 5, ReadRecord},
    {ActionWriteToDevice, 6, WriteRecord}, {ActionWriteToDevice, 7, ReadRecord},
    {ActionReadFromDevice, 8, ReadRecord}, {ActionVerify, 8, ReadRecord},
};

// A folder of its own for the files of one test, and a fresh one for each row
// that starts over with TearDown and SetUp.
class TransferFixture : public ::testing::Test {
  protected:
    std::optional<TempFolder> folder;
    std::filesystem::path dir;

    void SetUp() override {
        folder.emplace("selvo_core");
        dir = folder->Path();
        ResetFakeChannel();
        ResetScreen();
        ResetTransferJob();
    }

    void TearDown() override { ResetTransferJob(); }

    std::string PathOf(const char* name) const { return (dir / name).string(); }

    std::string MakeFile(const char* name, const std::vector<uint8_t>& bytes) const {
        std::string path = PathOf(name);
        WriteWhole(path, bytes);
        return path;
    }

    // What the transfer start leaves behind: the file open, the region set,
    // the identification request on its way, phase 1.
    void Begin(int action, int kind, const std::string& path) {
        PrepareTransfer(action, kind, path);
        FakeChannel.open = true;
        ASSERT_EQ(StartWrite(1), 0u);
        TransferJob.phase = PhaseEscapeSent;
    }

    // A fresh transfer of the firmware's first block (a 600-byte file to send or
    // compare, or a file to read into), standing in phase with the device's
    // answer for that phase scripted but not yet taken.
    bool StandAtPhase(ScriptedDevice& device, int action, int phase) {
        TearDown();
        SetUp();
        device = ScriptedDevice();
        std::string path =
            action == ActionReadFromDevice ? PathOf("r.upg") : MakeFile("w.upg", Pattern(600));
        Begin(action, KindFirmware, path);
        if (!RunToPhase(device, phase, 0)) return false;
        AnswerFor(device, unsigned(phase));
        return true;
    }
};

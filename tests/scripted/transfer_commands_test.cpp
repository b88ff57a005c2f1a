// The action and repeat commands: each reopens the port first and starts a
// transfer only when a port is open again.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "app/action_commands.h"
#include "operator/operator.h"
#include "serial/port_open.h"
#include "serial/port_table.h"
#include "support/fake_channel.h"
#include "support/operator_recorder.h"
#include "support/temp_folder.h"
#include "transfer/start.h"
#include "transfer/transfer.h"

namespace {

PortSlot OnePort[2] = {"COM1", ""};

class TransferCommandsTest : public ::testing::Test {
  protected:
    TempFolder folder{"selvo_commands"};
    std::string dir = folder.Path().string();
    PortSlot* savedTable = nullptr;

    void SetUp() override {
        savedTable = PortTable;
        PortTable = OnePort;
        currentPort = 0;
        ResetScreen();
        ResetFakeChannel();
        FakeChannel.open = true;
        FakeChannel.portName = "COM1";
        TransferJob.phase = PhaseIdle;
        TransferJob.action = ActionWriteToDevice;
        TransferJob.kind = KindFirmware;
        TransferJob.repeatPending = 0;
        std::memset(DialogFileName, 0, sizeof DialogFileName);
    }

    void TearDown() override {
        if (TransferJob.inputFile.is_open()) TransferJob.inputFile.close();
        if (TransferJob.outputFile.is_open()) TransferJob.outputFile.close();
        PortTable = savedTable;
    }

    std::string MakeFile(const std::string& name) {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << "data";
        return path;
    }

    void LosePort() { FakeChannel.openResults["COM1"] = PortMissing; }

    bool NotFoundShown() {
        for (const ShownBox& box : Screen.boxes)
            if (box.text == DeviceNotFoundText && box.caption == DeviceNotFoundCaption) return true;
        return false;
    }
};

TEST_F(TransferCommandsTest, ActionReopensThePortThenStarts) {
    Screen.dialogs.push_back(DialogScript{true, MakeFile("x.upg"), 0});
    RunActionCommand(ActionVerify);
    EXPECT_EQ(TransferJob.action, ActionVerify);
    EXPECT_EQ(FakeChannel.closes, 1);
    EXPECT_EQ(FakeChannel.openNames, std::vector<std::string>{"COM1"});
    EXPECT_EQ(Screen.dialogFlags.size(), 1u);
    EXPECT_EQ(TransferJob.phase, PhaseEscapeSent);
    EXPECT_TRUE(Screen.repeatEnabled);
}

TEST_F(TransferCommandsTest, ActionEnablesRepeatEvenWhenTheDialogIsCancelled) {
    RunActionCommand(ActionReadFromDevice);
    EXPECT_EQ(Screen.dialogFlags.size(), 1u);
    EXPECT_TRUE(Screen.boxes.empty());
    EXPECT_TRUE(Screen.repeatEnabled);
}

TEST_F(TransferCommandsTest, ActionWithoutAPortStartsNothing) {
    LosePort();
    TransferJob.phase = PhaseBlockSent;
    RunActionCommand(ActionReadFromDevice);
    EXPECT_EQ(TransferJob.action, ActionReadFromDevice);
    EXPECT_TRUE(NotFoundShown());
    EXPECT_TRUE(Screen.dialogFlags.empty());
    EXPECT_FALSE(Screen.repeatEnabled);
    // The start never ran, so the phase is as the command found it.
    EXPECT_EQ(TransferJob.phase, PhaseBlockSent);
}

TEST_F(TransferCommandsTest, RepeatRunsTheLastFileWithoutTheDialog) {
    std::string path = MakeFile("x.upg");
    Screen.dialogs.push_back(DialogScript{true, path, 0});
    RunActionCommand(ActionWriteToDevice);
    ASSERT_EQ(TransferJob.phase, PhaseEscapeSent);

    ResetScreen();
    FakeChannel.writes.clear();
    RepeatTransfer();
    EXPECT_TRUE(Screen.dialogFlags.empty());
    EXPECT_TRUE(Screen.boxes.empty());
    EXPECT_EQ(FakeChannel.writes.size(), 1u);
    EXPECT_EQ(TransferJob.phase, PhaseEscapeSent);
    EXPECT_EQ(TransferJob.repeatPending, 0);
    EXPECT_STREQ(DialogFileName, path.c_str());
}

TEST_F(TransferCommandsTest, FailedRepeatLeavesNoPendingRepeatBehind) {
    LosePort();
    RepeatTransfer();
    EXPECT_TRUE(NotFoundShown());
    EXPECT_EQ(TransferJob.repeatPending, 0);

    // With the port back, the next action asks for the file again.
    FakeChannel.openResults.clear();
    ResetScreen();
    RunActionCommand(ActionWriteToDevice);
    EXPECT_EQ(Screen.dialogFlags.size(), 1u);
}

}  // namespace

// The transfer start over the recorded screen and the scripted channel: every
// outcome with its message, and what a started transfer hands the state machine.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "operator/operator.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/serial_channel.h"
#include "support/fake_channel.h"
#include "support/operator_recorder.h"
#include "support/prepared_transfer.h"
#include "support/temp_folder.h"
#include "transfer/start.h"
#include "transfer/transfer.h"

namespace {

const unsigned BoxQuestionStyle = BoxYesNo | BoxIconQuestion | BoxDefaultSecond;

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWhole(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class StartTransferTest : public ::testing::Test {
  protected:
    TempFolder folder{"selvo_start"};
    std::string dir = folder.Path().string();

    void SetUp() override {
        ResetScreen();
        ResetFakeChannel();
        FakeChannel.open = true;
        ResetTransferJob();
        std::memset(DialogFileName, 0, sizeof DialogFileName);
        std::memset(IoBuffer.frameArea, 0xAA, sizeof IoBuffer.frameArea);
    }

    void TearDown() override { ResetTransferJob(); }

    std::string MakeFile(const std::string& name, const std::string& bytes = "data") {
        std::string path = dir + "/" + name;
        WriteWhole(path, bytes);
        return path;
    }

    void Choose(const std::string& path, unsigned long extraFlags = 0) {
        Screen.dialogs.push_back(DialogScript{true, path, extraFlags});
    }

    // kind: what the box reports as failed, also the transfer's failure.
    void ExpectOnlyBox(const std::string& text, const char* caption, unsigned style,
                       FailureKind kind) {
        ASSERT_EQ(Screen.boxes.size(), 1u);
        EXPECT_EQ(Screen.boxes[0].text, text);
        EXPECT_EQ(Screen.boxes[0].caption, caption);
        EXPECT_EQ(Screen.boxes[0].style, style);
        EXPECT_EQ(Screen.boxes[0].kind, kind);
        EXPECT_EQ(TransferJob.failure, kind);
    }

    void ExpectNotStarted() {
        EXPECT_EQ(TransferJob.phase, PhaseIdle);
        EXPECT_TRUE(FakeChannel.writes.empty());
    }
};

TEST_F(StartTransferTest, NoPortWarnsBeforeAnyDialog) {
    FakeChannel.open = false;
    TransferJob.phase = PhaseBlockAck;
    Choose(MakeFile("x.upg"));
    EXPECT_EQ(StartTransfer(), -1);
    ExpectOnlyBox("Musisz wybrać dostępny port szeregowy !", "Ostrzeżenie", BoxIconWarning,
                  FailurePort);
    EXPECT_TRUE(Screen.dialogFlags.empty());
    ExpectNotStarted();
}

TEST_F(StartTransferTest, ActionOrKindOutOfRangeEndsSilently) {
    struct Case {
        int action, kind;
    };
    for (Case c : {Case{3, 0}, Case{-1, 0}, Case{0, 3}, Case{1, -1}, Case{2, 1000}}) {
        SCOPED_TRACE(testing::Message() << "action " << c.action << " kind " << c.kind);
        ResetScreen();
        TransferJob.phase = PhaseSendCommand;
        TransferJob.action = c.action;
        TransferJob.kind = c.kind;
        Choose(MakeFile("x.upg"));
        EXPECT_EQ(StartTransfer(), -2);
        EXPECT_TRUE(Screen.boxes.empty());
        EXPECT_EQ(TransferJob.failure, FailureRule);
        EXPECT_TRUE(Screen.dialogFlags.empty());
        ExpectNotStarted();
    }
}

TEST_F(StartTransferTest, CancelledDialogStopsSilentlyAndTouchesNoFile) {
    std::string path = MakeFile("keep.upg", "old contents");
    std::strcpy(DialogFileName, path.c_str());
    TransferJob.phase = PhaseBlockReceive;
    TransferJob.action = ActionReadFromDevice;
    Screen.dialogs.push_back(DialogScript{false, "", 0});
    EXPECT_EQ(StartTransfer(), -1);
    EXPECT_TRUE(Screen.boxes.empty());
    EXPECT_TRUE(Screen.repaints.empty());
    EXPECT_FALSE(TransferJob.outputFile.is_open());
    EXPECT_EQ(ReadWhole(path), "old contents");
    EXPECT_STREQ(DialogFileName, path.c_str());
    ExpectNotStarted();
}

TEST_F(StartTransferTest, ExtensionRules) {
    struct Case {
        int kind;
        const char* name;
        unsigned long extraFlags;
        bool accepted;
    };
    const Case cases[] = {
        {KindScenes, "a.usr", 0, true},
        {KindScenes, "b.USR", 0, true},
        {KindScenes, "c.bin", 0, true},
        {KindScenes, "d.BIN", 0, true},
        {KindScenes, "e.bIn", 0x400, true},  // the dialog's flag, and still "bin"
        {KindScenes, "f.dat", 0, false},
        {KindScenes, "g", 0, false},          // no extension at all
        {KindScenes, "h.usr", 0x400, false},  // the dialog says it differs
        {KindScenes, "i.bin.dat", 0, false},
        {KindScenes, "j.binx", 0, false},
        {KindScenes, "k.", 0, false},
        {KindFirmware, "l.upg", 0, true},
        {KindFirmware, "m.Upg", 0, true},
        {KindFirmware, "n.bin", 0, false},  // the name alone, as under Wine
        {KindFirmware, "o.bin", 0x400, false},
        {KindFirmware, "p.usr", 0, false},
        {KindFirmware, "q.lib", 0, false},
        {KindFirmware, "r.upg", 0x400, false},
        {KindLibraries, "s.lib", 0, true},
        {KindLibraries, "t.bin", 0, false},
        {KindLibraries, "u.upg", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetScreen();
        ResetFakeChannel();
        FakeChannel.open = true;
        TransferJob.kind = c.kind;
        TransferJob.action = ActionWriteToDevice;
        Choose(MakeFile(c.name), c.extraFlags);
        int result = StartTransfer();
        if (c.accepted) {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(Screen.boxes.empty());
            EXPECT_EQ(TransferJob.phase, PhaseEscapeSent);
            EXPECT_TRUE(TransferJob.inputFile.is_open());
        } else {
            EXPECT_EQ(result, -1);
            ExpectOnlyBox("Nie zmieniaj rozszerzenia !", "Ostrzeżenie", BoxIconError, FailureRule);
            ExpectNotStarted();
        }
        if (TransferJob.inputFile.is_open()) TransferJob.inputFile.close();
    }
}

TEST_F(StartTransferTest, ExtensionOfADirectoryNameDoesNotCount) {
    std::filesystem::create_directory(dir + "/set.upg");
    TransferJob.kind = KindFirmware;
    Choose(MakeFile("set.upg/plain"));
    EXPECT_EQ(StartTransfer(), -1);
    ExpectOnlyBox("Nie zmieniaj rozszerzenia !", "Ostrzeżenie", BoxIconError, FailureRule);
}

TEST_F(StartTransferTest, OverwriteQuestionDeclinedLeavesFileAlone) {
    std::string path = MakeFile("old.upg", "precious");
    TransferJob.action = ActionReadFromDevice;
    Choose(path);
    Screen.answers.push_back(AnswerNo);
    EXPECT_EQ(StartTransfer(), -3);
    ExpectOnlyBox("Plik " + path + " już istnieje !\nCzy chcesz go nadpisać ?", "Ostrzeżenie",
                  BoxQuestionStyle, FailureNone);
    EXPECT_EQ(ReadWhole(path), "precious");
    EXPECT_FALSE(TransferJob.outputFile.is_open());
    ExpectNotStarted();
}

// The old file goes only once the device has answered: a controller that is
// switched off must not cost the operator the file.
TEST_F(StartTransferTest, OverwrittenFileIsCutOnlyOnceTheDeviceAnswers) {
    struct Case {
        const char* what;
        std::vector<uint8_t> ident;
        const char* box;
        std::string left;
        FailureKind kind;
        bool folderMeanwhile;  // the file becomes a folder before the cut
    };
    const std::vector<uint8_t> answer = {0x03, 0x05, 0x01, 0x14, 0xE3, 0x06};
    const Case cases[] = {
        {"no answer", {}, "Błąd inicjacji : brak danych : 0", "precious", FailureLine, false},
        {"NAK",
         {0x03, 0x05, 0x01, 0x14, 0xE3, 0x15},
         "Błąd inicjacji : NAK",
         "precious",
         FailureLine,
         false},
        {"answered", answer, nullptr, "", FailureNone, false},
        {"cut fails", answer, "Błąd zapisu pliku !", "", FailureFile, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetScreen();
        std::string path = MakeFile("old.upg", "precious");
        TransferJob.action = ActionReadFromDevice;
        Choose(path);
        Screen.answers.push_back(AnswerYes);
        EXPECT_EQ(StartTransfer(), 0);
        EXPECT_EQ(TransferJob.phase, PhaseEscapeSent);
        EXPECT_TRUE(TransferJob.outputFile.is_open());
        EXPECT_EQ(ReadWhole(path), "precious");
        if (c.folderMeanwhile) {
            std::filesystem::remove(path);
            std::filesystem::create_directory(path);
        }
        ScriptRead(c.ident);
        StepTransfer(PhaseEscapeSent);
        StepTransfer(PhaseIdentReply);
        if (!c.folderMeanwhile) {
            EXPECT_EQ(ReadWhole(path), c.left);
        }
        EXPECT_EQ(Screen.boxes.back().text, c.box ? c.box : Screen.boxes[0].text);
        EXPECT_EQ(TransferJob.phase, c.box ? PhaseIdle : PhaseSendCommand);
        EXPECT_EQ(Screen.boxes.back().kind, c.kind);
        EXPECT_EQ(TransferJob.failure, c.kind);
        if (c.kind == FailureFile) {
            EXPECT_EQ(Screen.boxes.back().operation, FileCut);
            EXPECT_EQ(Screen.boxes.back().path, path);
        }
    }
}

TEST_F(StartTransferTest, ReadOnlyTargetIsRefusedAfterTheQuestion) {
    std::string path = MakeFile("locked.upg", "precious");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    TransferJob.action = ActionReadFromDevice;
    Choose(path);
    Screen.answers.push_back(AnswerYes);
    EXPECT_EQ(StartTransfer(), -1);
    ASSERT_EQ(Screen.boxes.size(), 2u);
    EXPECT_EQ(Screen.boxes[0].style, BoxQuestionStyle);
    EXPECT_EQ(Screen.boxes[1].text, path + " :\nBrak dostępu do zapisu !");
    EXPECT_EQ(Screen.boxes[1].caption, "Niepowodzenie");
    EXPECT_EQ(Screen.boxes[1].style, BoxIconError);
    EXPECT_EQ(Screen.boxes[1].kind, FailureFile);
    EXPECT_EQ(Screen.boxes[1].operation, FileOpen);
    EXPECT_EQ(ReadWhole(path), "precious");
    EXPECT_FALSE(TransferJob.outputFile.is_open());
    ExpectNotStarted();
}

TEST_F(StartTransferTest, ReadIntoANewPathCreatesItWithoutAQuestion) {
    std::string path = dir + "/new.lib";
    TransferJob.action = ActionReadFromDevice;
    TransferJob.kind = KindLibraries;
    Choose(path);
    EXPECT_EQ(StartTransfer(), 0);
    EXPECT_TRUE(Screen.boxes.empty());
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(TransferJob.outputFile.is_open());
}

TEST_F(StartTransferTest, MissingSourceIsReported) {
    for (int action : {ActionWriteToDevice, ActionVerify}) {
        SCOPED_TRACE(action);
        ResetScreen();
        std::string path = dir + "/gone.upg";
        TransferJob.action = action;
        Choose(path);
        EXPECT_EQ(StartTransfer(), -3);
        ExpectOnlyBox("Plik " + path + " nie istnieje !", "Ostrzeżenie", BoxIconError, FailureFile);
        EXPECT_EQ(Screen.boxes[0].path, path);
        EXPECT_FALSE(TransferJob.inputFile.is_open());
        ExpectNotStarted();
    }
}

TEST_F(StartTransferTest, UnopenableTargetIsReported) {
    // A directory exists, so the question comes, but it cannot be written as a file.
    std::filesystem::create_directory(dir + "/folder.upg");
    TransferJob.action = ActionReadFromDevice;
    Choose(dir + "/folder.upg");
    Screen.answers.push_back(AnswerYes);
    EXPECT_EQ(StartTransfer(), -1);
    ASSERT_EQ(Screen.boxes.size(), 2u);
    EXPECT_EQ(Screen.boxes[1].text, "Błąd otwarcia pliku !");
    EXPECT_EQ(Screen.boxes[1].caption, "Niepowodzenie");
    EXPECT_EQ(Screen.boxes[1].style, BoxIconError);
    EXPECT_EQ(Screen.boxes[1].kind, FailureFile);
    EXPECT_EQ(Screen.boxes[1].operation, FileOpen);
    EXPECT_EQ(Screen.boxes[1].path, dir + "/folder.upg");
    ExpectNotStarted();
}

TEST_F(StartTransferTest, CommunicationErrorIsReportedWithItsCode) {
    struct Case {
        unsigned long code;
        const char* text;
    };
    for (Case c : {Case{5, "Błąd komunikacji : 5"}, Case{21, "Błąd komunikacji : 21"},
                   Case{4294967295ul, "Błąd komunikacji : 4294967295"}}) {
        SCOPED_TRACE(c.text);
        ResetScreen();
        FakeChannel.startWriteError = c.code;
        Choose(MakeFile("x.upg"));
        EXPECT_EQ(StartTransfer(), -1);
        ExpectOnlyBox(c.text, "Niepowodzenie", BoxIconError, FailureLine);
        EXPECT_EQ(TransferJob.phase, PhaseIdle);
    }
}

TEST_F(StartTransferTest, StartedWriteHandsOverToTheStateMachine) {
    for (unsigned long writeResult : {0ul, ErrorIoPending}) {
        SCOPED_TRACE(writeResult);
        ResetScreen();
        ResetFakeChannel();
        FakeChannel.open = true;
        FakeChannel.startWriteError = writeResult;
        TransferJob.kind = KindScenes;
        TransferJob.action = ActionVerify;
        Choose(MakeFile("s.usr"));
        EXPECT_EQ(StartTransfer(), 0);
        EXPECT_TRUE(Screen.boxes.empty());
        EXPECT_EQ(TransferJob.phase, PhaseEscapeSent);
        ASSERT_EQ(FakeChannel.writes.size(), 1u);
        EXPECT_EQ(FakeChannel.writes[0], std::vector<uint8_t>{ByteEsc});
        EXPECT_EQ(IoBuffer.frameArea[1], 0);
        EXPECT_EQ(TransferJob.firstBlock, 896);
        EXPECT_EQ(TransferJob.nextBlock, 896);
        EXPECT_EQ(TransferJob.blocksLeft, 3200);
        EXPECT_TRUE(TransferJob.inputFile.is_open());
        EXPECT_EQ(CountRepaints("window"), 2);
    }
}

TEST_F(StartTransferTest, DialogTitleAndFlagsFollowTheAction) {
    struct Case {
        int action;
        const char* title;
        unsigned long flags;
    };
    const Case cases[] = {
        {ActionReadFromDevice, "Wybierz plik do zapisu :", 0x2006},
        {ActionWriteToDevice, "Wybierz plik z danymi :", 0x1800},
        {ActionVerify, "Wybierz plik do weryfikacji :", 0x1800},
    };
    // In this order, so the bits of the read dialog must not survive into the next.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        Screen.dialogFlags.clear();
        TransferJob.action = c.action;
        EXPECT_EQ(StartTransfer(), -1);  // cancelled
        EXPECT_STREQ(DialogTitle, c.title);
        EXPECT_EQ(Screen.dialogFlags, std::vector<unsigned long>{c.flags});
    }
}

TEST_F(StartTransferTest, FilterExtensionAndRegionFollowTheKind) {
    struct Case {
        int kind;
        std::string filter;
        const char* extension;
        uint16_t first, count;
    };
    const char scenes[] = "Sceny użytkownika (*.usr)\0*.usr;*.bin\0";
    const char firmware[] = "Aktualizacje FirmWare (*.upg)\0*.upg\0";
    const char libraries[] = "Biblioteki (*.lib)\0*.lib\0";
    const Case cases[] = {
        // The longest first, so what a shorter filter leaves behind shows.
        {KindScenes, std::string(scenes, sizeof scenes), "usr", 896, 3200},
        {KindFirmware, std::string(firmware, sizeof firmware), "upg", 0, 512},
        {KindLibraries, std::string(libraries, sizeof libraries), "lib", 512, 384},
    };
    EXPECT_EQ(cases[0].filter.size(), 39u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        TransferJob.kind = c.kind;
        EXPECT_EQ(StartTransfer(), -1);  // cancelled
        std::string expected = c.filter;
        expected.resize(sizeof DialogFilter, '\0');
        EXPECT_EQ(std::string(DialogFilter, sizeof DialogFilter), expected);
        EXPECT_EQ(std::string(IoBuffer.defaultExtension, sizeof IoBuffer.defaultExtension),
                  std::string(c.extension, 4));
        EXPECT_EQ(TransferJob.firstBlock, c.first);
        EXPECT_EQ(TransferJob.nextBlock, c.first);
        EXPECT_EQ(TransferJob.blocksLeft, c.count);
    }
}

TEST_F(StartTransferTest, RepeatWithoutAnyChosenFile) {
    struct Case {
        int action;
        int result;
        const char* text;
        const char* caption;
    };
    const Case cases[] = {
        {ActionWriteToDevice, -3, "Plik  nie istnieje !", "Ostrzeżenie"},
        {ActionVerify, -3, "Plik  nie istnieje !", "Ostrzeżenie"},
        {ActionReadFromDevice, -1, "Błąd otwarcia pliku !", "Niepowodzenie"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        ResetScreen();
        TransferJob.action = c.action;
        TransferJob.repeatPending = 1;
        EXPECT_EQ(StartTransfer(), c.result);
        EXPECT_TRUE(Screen.dialogFlags.empty());
        ExpectOnlyBox(c.text, c.caption, BoxIconError, FailureFile);
        ExpectNotStarted();
    }
}

// Pointing at another kind on the way to "P&owtórz" changes the kind: the old
// file is refused for the new kind's region, as the dialog would refuse it.
TEST_F(StartTransferTest, RepeatKeepsTheExtensionRule) {
    struct Case {
        const char* name;
        int kindThen;
        int kindNow;
        bool accepted;
    };
    const Case cases[] = {
        {"scenes.usr", KindScenes, KindFirmware, false},
        {"short.lib", KindLibraries, KindFirmware, false},
        {"firmware.upg", KindFirmware, KindScenes, false},
        {"scenes.bin", KindScenes, KindScenes, true},
        {"short.lib", KindLibraries, KindLibraries, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " to kind " + std::to_string(c.kindNow));
        ResetScreen();
        ResetFakeChannel();
        FakeChannel.open = true;
        std::string path = MakeFile(c.name);
        TransferJob.kind = c.kindThen;
        Choose(path);
        ASSERT_EQ(StartTransfer(), 0);

        ResetScreen();
        ResetFakeChannel();
        FakeChannel.open = true;
        TransferJob.kind = c.kindNow;
        TransferJob.repeatPending = 1;
        EXPECT_EQ(StartTransfer(), c.accepted ? StartRunning : StartFailed);
        TransferJob.repeatPending = 0;
        EXPECT_TRUE(Screen.dialogFlags.empty());
        EXPECT_STREQ(DialogFileName, path.c_str());
        if (c.accepted) {
            EXPECT_TRUE(Screen.boxes.empty());
            EXPECT_EQ(TransferJob.firstBlock, LookUpRegion(DataKind(c.kindNow)).firstBlock);
            EXPECT_EQ(TransferJob.phase, PhaseEscapeSent);
        } else {
            ExpectOnlyBox("Nie zmieniaj rozszerzenia !", "Ostrzeżenie", BoxIconError, FailureRule);
            ExpectNotStarted();
        }
    }
}

TEST_F(StartTransferTest, GivenFileKeepsTheExtensionRuleAndShowsNoDialog) {
    struct Case {
        int kind;
        const char* name;
        bool accepted;
    };
    const Case cases[] = {
        {KindFirmware, "a.upg", true},
        {KindLibraries, "b.LIB", true},
        {KindScenes, "c.usr", true},
        {KindScenes, "d.bIn", true},
        {KindFirmware, "e.bin", false},
        {KindLibraries, "f.upg", false},
        {KindScenes, "g.dat", false},
        {KindScenes, "h", false},
        {KindScenes, "i.", false},
        {KindScenes, "j.bin.dat", false},
        {KindFirmware, "set.upg/plain", false},  // the dot belongs to a folder
    };
    std::filesystem::create_directory(dir + "/set.upg");
    std::string last = MakeFile("last.upg");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetScreen();
        ResetFakeChannel();
        FakeChannel.open = true;
        std::strcpy(DialogFileName, last.c_str());
        TransferJob.kind = c.kind;
        TransferJob.action = ActionWriteToDevice;
        int result = StartTransferWithFile(MakeFile(c.name).c_str());
        EXPECT_TRUE(Screen.dialogFlags.empty());
        EXPECT_STREQ(DialogFileName, last.c_str());
        if (c.accepted) {
            EXPECT_EQ(result, StartRunning);
            EXPECT_TRUE(Screen.boxes.empty());
            EXPECT_EQ(TransferJob.phase, PhaseEscapeSent);
        } else {
            EXPECT_EQ(result, StartFailed);
            ExpectOnlyBox("Nie zmieniaj rozszerzenia !", "Ostrzeżenie", BoxIconError, FailureRule);
            ExpectNotStarted();
        }
        TransferJob.inputFile.close();
    }
}

TEST_F(StartTransferTest, GivenFileIsOpenedWholeEvenWhenARepeatIsPending) {
    // A read shows which file was opened: it is created. The given path is
    // longer than the file-name buffer and must not be cut to it.
    std::string last = MakeFile("last.upg", "precious");
    std::strcpy(DialogFileName, last.c_str());
    std::string given = dir + "/" + std::string(250, 'g') + ".upg";
    ASSERT_GT(given.size(), sizeof DialogFileName);
    TransferJob.action = ActionReadFromDevice;
    TransferJob.repeatPending = 1;
    EXPECT_EQ(StartTransferWithFile(given.c_str()), StartRunning);
    EXPECT_TRUE(Screen.boxes.empty());
    EXPECT_TRUE(Screen.dialogFlags.empty());
    EXPECT_TRUE(std::filesystem::exists(given));
    EXPECT_TRUE(TransferJob.outputFile.is_open());
    EXPECT_EQ(ReadWhole(last), "precious");
}

TEST_F(StartTransferTest, ScratchFileIsOpenedUnderTheRuleOfTheGivenName) {
    struct Case {
        int kind;
        const char* opened;
        const char* given;
        bool accepted;
    };
    const Case cases[] = {
        {KindScenes, "a.usr.part", "a.usr", true},
        {KindScenes, "b.bin.part", "b.BIN", true},
        {KindFirmware, "c.upg.part", "c.bin", false},
        {KindLibraries, "d.lib", "d.dat", false},  // the opened name alone would pass
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opened);
        ResetScreen();
        TransferJob.kind = c.kind;
        TransferJob.action = ActionReadFromDevice;
        std::string opened = dir + "/" + c.opened;
        std::string given = dir + "/" + c.given;
        int result = StartTransferIntoFile(opened.c_str(), given.c_str());
        EXPECT_FALSE(std::filesystem::exists(given));
        if (c.accepted) {
            EXPECT_EQ(result, StartRunning);
            EXPECT_TRUE(Screen.boxes.empty());
            EXPECT_TRUE(std::filesystem::exists(opened));
        } else {
            EXPECT_EQ(result, StartFailed);
            ExpectOnlyBox("Nie zmieniaj rozszerzenia !", "Ostrzeżenie", BoxIconError, FailureRule);
            EXPECT_FALSE(std::filesystem::exists(opened));
        }
        TransferJob.outputFile.close();
    }
}

TEST_F(StartTransferTest, OverwriteQuestionIsCutAt294Characters) {
    // A path of 259 characters, the most the file-name buffer holds.
    std::string path = dir;
    while (path.size() + 101 < 259) {
        path += "/" + std::string(100, 'd');
        std::filesystem::create_directory(path);
    }
    path += "/" + std::string(259 - path.size() - 5, 'f') + ".upg";
    ASSERT_EQ(path.size(), 259u);
    WriteWhole(path, "x");
    TransferJob.action = ActionReadFromDevice;
    Choose(path);
    Screen.answers.push_back(AnswerNo);
    EXPECT_EQ(StartTransfer(), -3);
    std::string full = "Plik " + path + " już istnieje !\nCzy chcesz go nadpisać ?";
    ASSERT_EQ(Screen.boxes.size(), 1u);
    EXPECT_EQ(Screen.boxes[0].text, full.substr(0, 294));
}

}  // namespace

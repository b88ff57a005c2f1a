// The four status lines as the window shows them, composed from the shared
// transfer state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "transfer/status_lines.h"
#include "protocol/io_buffer.h"
#include "transfer/transfer.h"

namespace {

std::string Line(void (*compose)(char*)) {
    char line[StatusLineSize + 8];
    std::memset(line, '#', sizeof line);
    compose(line);
    // Nothing may be written past the 40 bytes of the line.
    for (size_t i = StatusLineSize; i < sizeof line; ++i) EXPECT_EQ(line[i], '#');
    return std::string(line, strnlen(line, StatusLineSize));
}

class StatusLinesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TransferJob.phase = PhaseIdle;
        TransferJob.action = ActionWriteToDevice;
        TransferJob.kind = KindFirmware;
        TransferJob.nextBlock = TransferJob.blocksLeft = TransferJob.firstBlock = 0;
        std::strcpy(IoBuffer.firmwareVersionText, "N/A");
        std::strcpy(IoBuffer.secondVersionText, "N/A");
    }

    void SetBlocks(uint16_t next, uint16_t left, uint16_t first) {
        TransferJob.nextBlock = next;
        TransferJob.blocksLeft = left;
        TransferJob.firstBlock = first;
    }
};

TEST_F(StatusLinesTest, IdleAfterStartUp) {
    EXPECT_EQ(Line(ComposeVersionLine), "Wersja firmware : N/A | N/A");
    EXPECT_FALSE(AreProgressLinesShown());
    EXPECT_EQ(Line(ComposePhaseLine), "");
}

TEST_F(StatusLinesTest, VersionLineShowsBothTexts) {
    std::strcpy(IoBuffer.firmwareVersionText, "3.05");
    std::strcpy(IoBuffer.secondVersionText, "?.??");
    EXPECT_EQ(Line(ComposeVersionLine), "Wersja firmware : 3.05 | ?.??");
}

TEST_F(StatusLinesTest, VersionTextWithoutTerminatorStaysInItsField) {
    std::memset(IoBuffer.firmwareVersionText, 'A', sizeof IoBuffer.firmwareVersionText);
    std::strcpy(IoBuffer.secondVersionText, "1.20");
    EXPECT_EQ(Line(ComposeVersionLine), "Wersja firmware : AAAAAA | 1.20");
}

TEST_F(StatusLinesTest, FirstBlockOfAFirmwareWrite) {
    TransferJob.phase = PhaseSendCommand;
    SetBlocks(0, 512, 0);
    EXPECT_TRUE(AreProgressLinesShown());
    EXPECT_EQ(Line(ComposeActionLine), "Zapisywanie do Dm730 : program");
    EXPECT_EQ(Line(ComposeBlockLine), "Blok 1 z 512");
}

TEST_F(StatusLinesTest, ActionLinesByActionAndKind) {
    struct Case {
        int action, kind;
        const char* line;
    };
    const Case cases[] = {
        {ActionReadFromDevice, KindLibraries, "Odczyt z Dm730 : biblioteki"},
        {ActionVerify, KindScenes, "Weryfikacja : dane użytkownika"},
        {ActionVerify, KindFirmware, "Weryfikacja : program"},
        // Values no command sets read as empty names, never past the tables.
        {3, KindFirmware, " : program"},
        {ActionReadFromDevice, -1, "Odczyt z Dm730 : "},
        {-7, 1000, " : "},
    };
    for (const Case& c : cases) {
        TransferJob.action = c.action;
        TransferJob.kind = c.kind;
        EXPECT_EQ(Line(ComposeActionLine), c.line);
    }
}

TEST_F(StatusLinesTest, LongestActionLineFitsExactly) {
    TransferJob.action = ActionWriteToDevice;
    TransferJob.kind = KindScenes;
    std::string line = Line(ComposeActionLine);
    EXPECT_EQ(line, "Zapisywanie do Dm730 : dane użytkownika");
    EXPECT_EQ(line.size(), 39u);
}

TEST_F(StatusLinesTest, BlockCounter) {
    struct Case {
        uint16_t next, left, first;
        const char* line;
    };
    const Case cases[] = {
        {1, 1, 0, "Blok 2 z 2"},  // a 300-byte file met its end in block 1
        {900, 3196, 896, "Blok 5 z 3200"},
        {514, 1, 512, "Blok 3 z 3"},
        {4095, 1, 896, "Blok 3200 z 3200"},
        // Widened before the arithmetic: no 16-bit wrap.
        {65535, 65535, 0, "Blok 65536 z 131070"},
    };
    for (const Case& c : cases) {
        SetBlocks(c.next, c.left, c.first);
        EXPECT_EQ(Line(ComposeBlockLine), c.line);
    }
}

TEST_F(StatusLinesTest, PhaseLineByPhase) {
    const char* const lines[] = {
        "",
        "Oczekiwanie . . .(1)",
        "Oczekiwanie . . .(2)",
        "Komenda(3)",
        "Oczekiwanie . . .(4)",
        "Oczekiwanie . . .(5)",
        "Wysyłanie(6)",
        "Oczekiwanie . . .(7)",
        "Odbieranie(8)",
        "(9)",
    };
    for (int phase = 0; phase <= 9; ++phase) {
        TransferJob.phase = phase;
        EXPECT_EQ(Line(ComposePhaseLine), lines[phase]) << "phase " << phase;
        EXPECT_EQ(AreProgressLinesShown(), phase != 0);
    }
}

TEST_F(StatusLinesTest, PhaseOutsideTheTableShowsOnlyItsNumber) {
    TransferJob.phase = PhaseRetryQuiet;
    EXPECT_EQ(Line(ComposePhaseLine), "Ponawianie(10)");
    TransferJob.phase = LastTransferPhase + 1;
    EXPECT_EQ(Line(ComposePhaseLine), "(13)");
    TransferJob.phase = -1;
    EXPECT_EQ(Line(ComposePhaseLine), "(-1)");
}

}  // namespace

// Frames, checks and texts of the Dm730 line, over the shared frame area.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "protocol/regions.h"

namespace {

void LoadFrame(const std::vector<uint8_t>& bytes) {
    std::memset(IoBuffer.frameArea, 0, sizeof IoBuffer.frameArea);
    std::copy(bytes.begin(), bytes.end(), IoBuffer.frameArea);
}

std::vector<uint8_t> Frame(size_t n) {
    return std::vector<uint8_t>(IoBuffer.frameArea, IoBuffer.frameArea + n);
}

struct CommandCase {
    TransferAction action;
    uint16_t block;
    std::vector<uint8_t> bytes;
};

TEST(ProtocolTest, BlockCommandsCarryCodeBlockLowHighAndBalance) {
    const CommandCase cases[] = {
        {ActionWriteToDevice, 0, {0x11, 0x00, 0x00, 0xEF}},
        {ActionReadFromDevice, 0, {0x12, 0x00, 0x00, 0xEE}},
        {ActionVerify, 0, {0x12, 0x00, 0x00, 0xEE}},
        {ActionWriteToDevice, 512, {0x11, 0x00, 0x02, 0xED}},
        {ActionReadFromDevice, 896, {0x12, 0x80, 0x03, 0x6B}},
        {ActionReadFromDevice, 4095, {0x12, 0xFF, 0x0F, 0xE0}},
    };
    for (const CommandCase& c : cases) {
        LoadFrame({0xAA, 0xAA, 0xAA, 0xAA, 0xAA});
        BuildBlockCommand(c.action, c.block);
        EXPECT_EQ(Frame(4), c.bytes) << "action " << c.action << " block " << c.block;
        EXPECT_EQ(IoBuffer.frameArea[4], 0xAA) << "only bytes 0..3 are the command";
    }
}

struct IdentCase {
    const char* what;
    std::vector<uint8_t> bytes;
    unsigned long count;
    int outcome;
    unsigned detail;
};

TEST(ProtocolTest, IdentificationReplyIsJudgedInOrderCountNakAckChecksum) {
    const IdentCase cases[] = {
        {"valid", {0x03, 0x05, 0x01, 0x14, 0xE3, 0x06}, 6, ReplyValid, 0},
        {"NAK beats a wrong checksum", {0x03, 0x05, 0x01, 0x14, 0x00, 0x15}, 6, ReplyRefused, 0},
        {"ACK with wrong checksum",
         {0x03, 0x05, 0x01, 0x14, 0xE4, 0x06},
         6,
         ReplyChecksumError,
         0x01},
        {"sum 0x0A", {0x01, 0x02, 0x03, 0x04, 0x00, 0x06}, 6, ReplyChecksumError, 0x0A},
        {"five bytes whatever they hold",
         {0x03, 0x05, 0x01, 0x14, 0xE3, 0x06},
         5,
         ReplyMissingData,
         5},
        {"nothing", {}, 0, ReplyMissingData, 0},
        {"other status beats a wrong checksum",
         {0x03, 0x05, 0x01, 0x14, 0x00, 0x07},
         6,
         ReplyAckError,
         0x07},
        {"escape as status", {0x03, 0x05, 0x01, 0x14, 0xE3, 0x1B}, 6, ReplyAckError, 0x1B},
    };
    for (const IdentCase& c : cases) {
        LoadFrame(c.bytes);
        std::strcpy(IoBuffer.firmwareVersionText, "N/A");
        std::strcpy(IoBuffer.secondVersionText, "N/A");
        ReplyCheck check = CheckIdentReply(c.count);
        EXPECT_EQ(check.outcome, c.outcome) << c.what;
        if (c.outcome != ReplyValid && c.outcome != ReplyRefused) {
            EXPECT_EQ(check.detail, c.detail) << c.what;
        }
        // The check leaves the versions alone; an accepted reply's are taken after it.
        EXPECT_STREQ(IoBuffer.firmwareVersionText, "N/A") << c.what;
        EXPECT_STREQ(IoBuffer.secondVersionText, "N/A") << c.what;
        if (c.outcome == ReplyValid) {
            TakeVersionTexts();
            EXPECT_STREQ(IoBuffer.firmwareVersionText, "3.05");
            EXPECT_STREQ(IoBuffer.secondVersionText, "1.20");
        }
    }
}

TEST(ProtocolTest, VersionTextHasDigitPointAndTwoDigitsOrQuestionMarks) {
    struct {
        unsigned major, minor;
        const char* text;
    } cases[] = {
        {3, 5, "3.05"},   {1, 20, "1.20"}, {0, 0, "0.00"},  {9, 99, "9.99"},    {2, 100, "2.??"},
        {2, 255, "2.??"}, {10, 0, "?.??"}, {10, 5, "?.??"}, {255, 255, "?.??"},
    };
    for (const auto& c : cases) {
        char text[6];
        std::memset(text, 'x', sizeof text);
        FormatVersionText(text, c.major, c.minor);
        EXPECT_STREQ(text, c.text) << c.major << "." << c.minor;
        EXPECT_EQ(text[5], 'x') << "the sixth byte is not written";
    }
}

TEST(ProtocolTest, ByteReplyIsAckNakOrAnAcknowledgementError) {
    struct {
        uint8_t byte;
        unsigned long count;
        int outcome;
        unsigned detail;
    } cases[] = {
        {0x06, 1, ReplyValid, 0},       {0x15, 1, ReplyRefused, 0},  {0x07, 1, ReplyAckError, 0x07},
        {0x1B, 1, ReplyAckError, 0x1B}, {0x00, 1, ReplyAckError, 0}, {0x06, 0, ReplyMissingData, 0},
        {0x06, 2, ReplyMissingData, 2},
    };
    for (const auto& c : cases) {
        LoadFrame({c.byte});
        ReplyCheck check = CheckByteReply(c.count);
        EXPECT_EQ(check.outcome, c.outcome) << int(c.byte) << " count " << c.count;
        if (c.outcome == ReplyAckError || c.outcome == ReplyMissingData) {
            EXPECT_EQ(check.detail, c.detail);
        }
    }
}

TEST(ProtocolTest, DataFrameSealBalancesAndCheckReportsTheSum) {
    LoadFrame({});
    EXPECT_EQ(SealDataFrame(), 0) << "256 zero bytes";
    EXPECT_EQ(IoBuffer.frameArea[256], 0);

    for (int i = 0; i < 256; ++i) IoBuffer.frameArea[i] = uint8_t(i * 7 + 3);
    uint8_t seal = SealDataFrame();
    EXPECT_EQ(IoBuffer.frameArea[256], seal);
    EXPECT_EQ(SumBytes(IoBuffer.frameArea, 257), 0);
    EXPECT_EQ(CheckDataFrame(257).outcome, ReplyValid);

    IoBuffer.frameArea[256] = uint8_t(seal + 0x3F);
    ReplyCheck bad = CheckDataFrame(257);
    EXPECT_EQ(bad.outcome, ReplyChecksumError);
    EXPECT_EQ(bad.detail, 0x3Fu);

    ReplyCheck shortFrame = CheckDataFrame(256);
    EXPECT_EQ(shortFrame.outcome, ReplyMissingData);
    EXPECT_EQ(shortFrame.detail, 256u);
    EXPECT_EQ(CheckDataFrame(200).detail, 200u);
}

TEST(ProtocolTest, RegionsAreContiguousAndEndAtTheLastBlock) {
    const DeviceRegion expected[] = {{0, 512}, {512, 384}, {896, 3200}};
    unsigned next = 0;
    for (int kind = KindFirmware; kind <= KindScenes; ++kind) {
        DeviceRegion r = LookUpRegion(DataKind(kind));
        EXPECT_EQ(r.firstBlock, expected[kind].firstBlock);
        EXPECT_EQ(r.blockCount, expected[kind].blockCount);
        EXPECT_EQ(r.firstBlock, next);
        next = r.firstBlock + r.blockCount;
    }
    EXPECT_EQ(next, unsigned(DeviceBlockCount)) << "the last region ends with block 4095";
    EXPECT_EQ(LookUpRegion(DataKind(3)).blockCount, 0) << "no region beyond the table";
    EXPECT_EQ(LookUpRegion(DataKind(-1)).blockCount, 0);
}

TEST(ProtocolTest, FailureTextsJoinPrefixAndDetail) {
    struct {
        const char* prefix;
        ReplyCheck check;
        const char* text;
    } cases[] = {
        {"Błąd potwierdzenia : ", {ReplyAckError, 0x07}, "Błąd potwierdzenia : błąd ACK :  7"},
        {"Błąd potwierdzenia : ", {ReplyAckError, 0x1B}, "Błąd potwierdzenia : błąd ACK : 1b"},
        {"Błąd potwierdzenia : ", {ReplyMissingData, 0}, "Błąd potwierdzenia : brak danych : 0"},
        {"Błąd przesyłania : ", {ReplyRefused, 0}, "Błąd przesyłania : NAK"},
        {"Błąd przesyłania : ", {ReplyMissingData, 200}, "Błąd przesyłania : brak danych : 200"},
        {"Błąd inicjacji : ", {ReplyChecksumError, 0x0A}, "Błąd inicjacji : sumy kontrolnej : a"},
        {"Błąd inicjacji : ", {ReplyChecksumError, 0xFF}, "Błąd inicjacji : sumy kontrolnej : ff"},
    };
    for (const auto& c : cases) {
        char text[39];
        FormatReplyFailure(text, sizeof text, c.prefix, c.check);
        EXPECT_STREQ(text, c.text);
    }
}

TEST(ProtocolTest, FailureTextIsCutToItsBufferAndKeepsTheTerminator) {
    char text[40];
    std::memset(text, 'x', sizeof text);
    // 39 bytes of text do not fit in 39 bytes with the terminator.
    FormatReplyFailure(text, 39, "Błąd przesyłania : ", ReplyCheck{ReplyChecksumError, 0x3F});
    EXPECT_EQ(std::string(text), "Błąd przesyłania : sumy kontrolnej : 3");
    EXPECT_EQ(std::strlen(text), 38u);
    EXPECT_EQ(text[39], 'x') << "nothing written past the buffer";
    // "ł" is one byte in the program's code page.
    EXPECT_EQ(std::strlen("Błąd"), 4u);
}

}  // namespace

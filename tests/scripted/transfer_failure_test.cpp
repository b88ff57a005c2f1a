// Every way a transfer can fail: the text the operator reads, the stream the
// failure releases, the idle phase and the single repaint of the phase line.
#include <cstring>
#include <map>
#include <sstream>

#include "scripted/scripted_device.h"

#include "operator/operator.h"
#include "protocol/io_buffer.h"

namespace {

struct Expected {
    bool inputOpen;
    bool outputOpen;
};

const Expected InputClosed{false, true};
const Expected OutputClosed{true, false};

class TransferFailureTest : public TransferFixture {
  protected:
    ScriptedDevice device;
    std::string file;

    // A transfer of the libraries region stopped just before the step of
    // `phase` for its first block, with the screen log cleared.
    void ReachPhase(int action, int phase) {
        file =
            action == ActionReadFromDevice ? PathOf("out.lib") : MakeFile("in.lib", Pattern(600));
        Begin(action, KindLibraries, file);
        OpenOtherStream();
        ASSERT_TRUE(RunToPhase(device, phase, 512));
        ASSERT_EQ(TransferJob.phase, phase);
        ResetScreen();
    }

    // The stream the transfer does not use is open too, so closing the wrong
    // one shows.
    void OpenOtherStream() {
        if (TransferJob.action == ActionReadFromDevice)
            TransferJob.inputFile.open(MakeFile("other.bin", {1, 2, 3}), std::ios::binary);
        else
            TransferJob.outputFile.open(PathOf("other.out"), std::ios::binary);
    }

    // Without an operation the line failed; with one, the transfer's file.
    void ExpectFailure(const char* text, Expected files,
                       FileOperation operation = FileNoOperation) {
        SCOPED_TRACE(text);
        ASSERT_EQ(Screen.boxes.size(), 1u);
        EXPECT_EQ(Screen.boxes[0].text, text);
        EXPECT_EQ(Screen.boxes[0].kind, operation == FileNoOperation ? FailureLine : FailureFile);
        EXPECT_EQ(Screen.boxes[0].operation, operation);
        EXPECT_EQ(TransferJob.failure, Screen.boxes[0].kind);
        EXPECT_EQ(Screen.boxes[0].caption, "Niepowodzenie");
        EXPECT_EQ(Screen.boxes[0].style, BoxOk | BoxIconError);
        EXPECT_EQ(TransferJob.phase, PhaseIdle);
        EXPECT_EQ(TransferJob.inputFile.is_open(), files.inputOpen);
        EXPECT_EQ(TransferJob.outputFile.is_open(), files.outputOpen);
        EXPECT_EQ(Screen.repaints, (std::vector<std::string>{"progress", "phase"}));
    }

    // With retries allowed, a failure of the reply in phase is tried again
    // and the transfer ends whole, the region right; one that is not retried
    // ends it as without retries.
    void ExpectRetriedWhereAllowed(int action, int phase, const std::vector<uint8_t>& reply,
                                   const char* text, bool retried) {
        SCOPED_TRACE("with retries");
        TearDown();
        SetUp();
        std::vector<uint8_t> data = Pattern(600);
        std::copy(data.begin(), data.end(), device.memory.begin() + 512 * BlockSize);
        TransferJob.blockRetries = 3;
        ReachPhase(action, phase);
        ScriptRead(reply);
        StepTransfer(unsigned(phase));
        if (!retried) {
            ExpectFailure(text, action == ActionReadFromDevice ? OutputClosed : InputClosed);
            return;
        }
        EXPECT_EQ(TransferJob.phase, PhaseRetryQuiet);
        // The line silent for 300 ms before the retry: 2 bytes' wait (240 ms)
        // after a reply that ended by 100 ms of silence, 3 (360 ms) otherwise.
        bool endedSilent = std::string(text).find("brak danych") != std::string::npos;
        EXPECT_EQ(FakeChannel.readRequests.back(), endedSilent ? 2u : 3u);
        ASSERT_TRUE(RunToEnd(device));
        EXPECT_TRUE(Screen.boxes.empty()) << Screen.boxes[0].text;
        EXPECT_EQ(TransferJob.failure, FailureNone);
        EXPECT_EQ(TransferJob.blocksRetried, 1);
        int commands = 0;
        for (const std::vector<uint8_t>& w : FakeChannel.writes)
            commands += w.size() == CommandFrameSize && CommandBlock(w) == 512;
        EXPECT_EQ(commands, 2) << "the block's command once more";
        data.resize(3 * BlockSize, 0);
        EXPECT_TRUE(Slice(device.memory, 512, 3) == data);
        if (action == ActionReadFromDevice) {
            EXPECT_TRUE(ReadWhole(file) == Slice(device.memory, 512, 384));
        }
    }
};

struct PollFailureCase {
    int action;
    int phase;
    ChannelRecord record;
};

TEST_F(TransferFailureTest, FailedPollInEveryWaitingPhaseShowsTheCodeAndReleasesTheFile) {
    const PollFailureCase cases[] = {
        {ActionWriteToDevice, 1, WriteRecord},  {ActionWriteToDevice, 2, ReadRecord},
        {ActionWriteToDevice, 4, WriteRecord},  {ActionWriteToDevice, 5, ReadRecord},
        {ActionWriteToDevice, 6, WriteRecord},  {ActionWriteToDevice, 7, ReadRecord},
        {ActionReadFromDevice, 1, WriteRecord}, {ActionReadFromDevice, 2, ReadRecord},
        {ActionReadFromDevice, 4, WriteRecord}, {ActionReadFromDevice, 5, ReadRecord},
        {ActionReadFromDevice, 8, ReadRecord},  {ActionVerify, 2, ReadRecord},
        {ActionVerify, 8, ReadRecord},
    };
    for (const PollFailureCase& c : cases) {
        SCOPED_TRACE("action " + std::to_string(c.action) + " phase " + std::to_string(c.phase));
        TearDown();
        SetUp();
        ReachPhase(c.action, c.phase);
        ScriptPollFailure(c.record, 31);
        StepTransfer(unsigned(c.phase));
        ExpectFailure("Kod błędu : 31",
                      c.action == ActionReadFromDevice ? OutputClosed : InputClosed);
        EXPECT_EQ(Screen.boxes[0].phase, c.phase);
    }
}

TEST_F(TransferFailureTest, ErrorCodeIsWrittenUnsigned) {
    ReachPhase(ActionWriteToDevice, 6);
    ScriptPollFailure(WriteRecord, 4294967295ul);
    StepTransfer(6);
    ExpectFailure("Kod błędu : 4294967295", InputClosed);
}

struct ReplyFailureCase {
    int action;
    int phase;
    std::vector<uint8_t> reply;
    const char* text;
    // Tried again where retries are allowed: a failure in a block's exchange
    // that is not the controller's refusal.
    bool retried = true;
};

TEST_F(TransferFailureTest, InvalidReplyShowsPrefixAndDetail) {
    std::vector<uint8_t> badSum(257, 0);
    badSum[256] = 0x3F;
    std::vector<uint8_t> shortFrame(200, 0);
    const ReplyFailureCase cases[] = {
        {ActionWriteToDevice,
         2,
         {0x01, 0x02, 0x03, 0x04, 0x00, 0x06},
         "Błąd inicjacji : sumy kontrolnej : a",
         false},
        {ActionReadFromDevice,
         2,
         {0x03, 0x05, 0x01, 0x14, 0x00, 0x15},
         "Błąd inicjacji : NAK",
         false},
        {ActionVerify, 2, {0x03, 0x05, 0x01}, "Błąd inicjacji : brak danych : 3", false},
        {ActionWriteToDevice,
         2,
         {0x03, 0x05, 0x01, 0x14, 0xE3, 0x07},
         "Błąd inicjacji : błąd ACK :  7",
         false},
        {ActionWriteToDevice, 5, {0x07}, "Błąd potwierdzenia : błąd ACK :  7"},
        {ActionReadFromDevice, 5, {0x1B}, "Błąd potwierdzenia : błąd ACK : 1b"},
        {ActionVerify, 5, {}, "Błąd potwierdzenia : brak danych : 0"},
        {ActionWriteToDevice, 5, {ByteNak}, "Błąd potwierdzenia : NAK", false},
        {ActionWriteToDevice, 7, {ByteNak}, "Błąd przesyłania : NAK"},
        {ActionWriteToDevice, 7, {}, "Błąd przesyłania : brak danych : 0"},
        {ActionWriteToDevice, 7, {0xFF}, "Błąd przesyłania : błąd ACK : ff"},
        {ActionReadFromDevice, 8, shortFrame, "Błąd przesyłania : brak danych : 200"},
        // 39 characters: the received-frame text has the larger buffer.
        {ActionReadFromDevice, 8, badSum, "Błąd przesyłania : sumy kontrolnej : 3f"},
        {ActionVerify, 8, badSum, "Błąd przesyłania : sumy kontrolnej : 3f"},
    };
    for (const ReplyFailureCase& c : cases) {
        SCOPED_TRACE(c.text);
        TearDown();
        SetUp();
        ReachPhase(c.action, c.phase);
        ScriptRead(c.reply);
        StepTransfer(unsigned(c.phase));
        ExpectFailure(c.text, c.action == ActionReadFromDevice ? OutputClosed : InputClosed);
        EXPECT_STREQ(IoBuffer.firmwareVersionText, c.phase == 2 ? "N/A" : "3.05");
        ExpectRetriedWhereAllowed(c.action, c.phase, c.reply, c.text, c.retried);
    }
}

// A reply is complete and more is waiting behind it, or a reply comes after
// the last block's: the line is out of step with the device.
TEST_F(TransferFailureTest, SurplusBehindAReplyEndsTheTransfer) {
    std::vector<uint8_t> frame(257, 0);
    frame.push_back(ByteAck);
    const ReplyFailureCase cases[] = {
        {ActionWriteToDevice, 2, {0x03, 0x05, 0x01, 0x14, 0xE3, 0x06, 0x06}, nullptr, false},
        {ActionVerify, 2, {0x03, 0x05, 0x01, 0x14, 0xE3, 0x06, 0x15}, nullptr, false},
        {ActionWriteToDevice, 5, {ByteAck, ByteAck}, nullptr},
        {ActionWriteToDevice, 7, {ByteAck, ByteNak}, nullptr},
        {ActionReadFromDevice, 8, frame, nullptr},
        {ActionVerify, 8, frame, nullptr},
    };
    for (const ReplyFailureCase& c : cases) {
        SCOPED_TRACE("action " + std::to_string(c.action) + " phase " + std::to_string(c.phase));
        TearDown();
        SetUp();
        ReachPhase(c.action, c.phase);
        std::strcpy(IoBuffer.firmwareVersionText, "N/A");
        std::strcpy(IoBuffer.secondVersionText, "N/A");
        ScriptRead(c.reply);
        StepTransfer(unsigned(c.phase));
        ExpectFailure("Błąd przesyłania : nadmiar danych",
                      c.action == ActionReadFromDevice ? OutputClosed : InputClosed);
        // A refused identification reply leaves the versions shown as they were.
        EXPECT_STREQ(IoBuffer.firmwareVersionText, "N/A");
        EXPECT_STREQ(IoBuffer.secondVersionText, "N/A");
        ExpectRetriedWhereAllowed(c.action, c.phase, c.reply, "Błąd przesyłania : nadmiar danych",
                                  c.retried);
    }
    // The last block's ACK was another's: its own NAK comes while phase 9 listens.
    for (int action : {ActionWriteToDevice, ActionReadFromDevice}) {
        SCOPED_TRACE("last block, action " + std::to_string(action));
        TearDown();
        SetUp();
        ReachPhase(action, PhaseSendCommand);
        ASSERT_TRUE(RunToPhase(device, PhaseBlockDone, action == ActionWriteToDevice ? 514 : 895));
        ResetScreen();
        ScriptRead({ByteNak});
        StepTransfer(PhaseBlockDone);
        ExpectFailure("Błąd przesyłania : nadmiar danych",
                      action == ActionReadFromDevice ? OutputClosed : InputClosed);
        EXPECT_EQ(TransferJob.blocksLeft, 1) << "the last block is not counted done";
    }
}

// A block's retries end the transfer when they are used up, or when the line
// or the controller shows it is no longer the transfer's: another controller
// answers, the controller refuses, the line never falls silent.
TEST_F(TransferFailureTest, RetriesEndTheTransferWhenTheyCannotMendIt) {
    const std::vector<uint8_t> otherIdent = {0x04, 0x07, 0x01, 0x14, 0xE0, 0x06};
    const std::vector<uint8_t> refusedIdent = {0x03, 0x05, 0x01, 0x14, 0xE3, ByteNak};
    struct Case {
        const char* text;
        int retries;
        std::map<int, std::vector<uint8_t>> replies;  // by phase, every time it comes
        int retriesOfBlock;
    };
    const Case cases[] = {
        {"Błąd przesyłania : brak danych : 0", 2, {{PhaseBlockAck, {}}}, 2},
        {"Błąd inicjacji : inne wersje",
         3,
         {{PhaseBlockAck, {}}, {PhaseRetryIdent, otherIdent}},
         1},
        {"Błąd inicjacji : NAK", 3, {{PhaseBlockAck, {}}, {PhaseRetryIdent, refusedIdent}}, 1},
        {"Błąd przesyłania : nadmiar danych",
         3,
         {{PhaseBlockAck, {}}, {PhaseRetryQuiet, {0x55}}},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TearDown();
        SetUp();
        TransferJob.blockRetries = c.retries;
        ReachPhase(ActionWriteToDevice, PhaseBlockAck);
        ASSERT_TRUE(RunUntil(device, [&] {
            ResetScreen();  // the last step's alone are checked
            auto reply = c.replies.find(TransferJob.phase);
            if (reply != c.replies.end()) ScriptRead(reply->second);
            return false;
        }));
        ExpectFailure(c.text, InputClosed);
        EXPECT_EQ(TransferJob.retriesOfBlock, c.retriesOfBlock);
        EXPECT_EQ(TransferJob.nextBlock, 512);
    }
}

TEST_F(TransferFailureTest, ChecksumOfAReceivedFrameOrReplyIsKept) {
    ReachPhase(ActionWriteToDevice, 2);
    ScriptRead({0x01, 0x02, 0x03, 0x04, 0x00, 0x15});
    StepTransfer(2);
    EXPECT_EQ(TransferJob.lastChecksum, 0x0A) << "kept whatever the outcome";

    TearDown();
    SetUp();
    ReachPhase(ActionReadFromDevice, 8);
    std::vector<uint8_t> frame(257, 0);
    frame[0] = 0x40;
    frame[1] = 0xFF;
    ScriptRead(frame);
    StepTransfer(8);
    EXPECT_EQ(TransferJob.lastChecksum, 0x3F);
}

TEST_F(TransferFailureTest, InputThatCannotBeReadEndsAWrite) {
    // A folder opens as a stream but no read from it ever succeeds.
    Begin(ActionWriteToDevice, KindFirmware, dir.string());
    OpenOtherStream();
    ASSERT_TRUE(TransferJob.inputFile.is_open());
    ASSERT_TRUE(RunToPhase(device, 5, 0));
    ResetScreen();
    StepWithDevice(device, 5);
    ExpectFailure("Błąd odczytu pliku !", InputClosed, FileRead);
    EXPECT_EQ(Screen.boxes[0].path, dir.string());
    EXPECT_EQ(FakeChannel.writes.size(), 2u) << "no data frame goes out";
}

// A read of the file that fails once (the stream's buffer throws, as a
// failing disk may make it) is tried again from the block's start, and the
// block goes out whole.
TEST_F(TransferFailureTest, AFileReadThatFailsOnceIsTriedAgain) {
    struct FailingOnce : std::stringbuf {
        bool failed = false;
        using std::stringbuf::stringbuf;
        std::streamsize xsgetn(char* s, std::streamsize n) override {
            if (!failed && (failed = true)) throw std::ios_base::failure("read");
            return std::stringbuf::xsgetn(s, n);
        }
    };
    std::vector<uint8_t> data = Pattern(600);
    Begin(ActionWriteToDevice, KindFirmware, MakeFile("w.upg", data));
    FailingOnce flaky(std::string(data.begin(), data.end()), std::ios::in);
    std::ios& stream = TransferJob.inputFile;
    stream.rdbuf(&flaky);
    bool ended = RunToEnd(device);
    stream.rdbuf(TransferJob.inputFile.rdbuf());
    ASSERT_TRUE(ended);
    EXPECT_TRUE(flaky.failed);
    EXPECT_TRUE(Screen.boxes.empty()) << Screen.boxes[0].text;
    data.resize(3 * BlockSize, 0);
    EXPECT_TRUE(Slice(device.memory, 0, 3) == data);
}

TEST_F(TransferFailureTest, InputThatCannotBeReadEndsAVerify) {
    Begin(ActionVerify, KindFirmware, dir.string());
    OpenOtherStream();
    ASSERT_TRUE(RunToPhase(device, 8, 0));
    ResetScreen();
    StepWithDevice(device, 8);
    ExpectFailure("Błąd odczytu pliku !", InputClosed, FileRead);
}

TEST_F(TransferFailureTest, FullDiskEndsARead) {
    // /dev/full takes every write into the stream's buffer and fails at the
    // flush: the failure must show at the block, not vanish at the close.
    Begin(ActionReadFromDevice, KindFirmware, "/dev/full");
    OpenOtherStream();
    ASSERT_TRUE(TransferJob.outputFile.is_open());
    ASSERT_TRUE(RunToPhase(device, 8, 0));
    ResetScreen();
    StepWithDevice(device, 8);
    ExpectFailure("Błąd zapisu pliku !", OutputClosed, FileWrite);
    EXPECT_EQ(Screen.boxes[0].path, "/dev/full");
}

TEST_F(TransferFailureTest, BadFrameWhileReadingKeepsTheBlocksStoredBefore) {
    std::vector<uint8_t> image = Pattern(384 * BlockSize, 7);
    std::copy(image.begin(), image.end(), device.memory.begin() + 512 * BlockSize);
    std::string out = PathOf("part.lib");
    Begin(ActionReadFromDevice, KindLibraries, out);
    ASSERT_TRUE(RunToPhase(device, 8, 515));
    std::vector<uint8_t> frame(257, 1);
    ScriptRead(frame);
    StepTransfer(8);
    ASSERT_EQ(Screen.boxes.size(), 1u);
    EXPECT_EQ(Screen.boxes[0].text, "Błąd przesyłania : sumy kontrolnej : 1");
    EXPECT_FALSE(TransferJob.outputFile.is_open());
    EXPECT_EQ(ReadWhole(out), std::vector<uint8_t>(image.begin(), image.begin() + 3 * BlockSize));
}

TEST_F(TransferFailureTest, FailureAtALaterBlockLeavesTheCountersWhereTheyStood) {
    ReachPhase(ActionWriteToDevice, 3);
    ASSERT_TRUE(RunToPhase(device, 7, 513));
    ScriptRead({ByteNak});
    StepTransfer(7);
    EXPECT_EQ(Screen.boxes.back().text, "Błąd przesyłania : NAK");
    EXPECT_EQ(TransferJob.phase, PhaseIdle);
    EXPECT_EQ(TransferJob.nextBlock, 513);
    EXPECT_EQ(TransferJob.firstBlock, 512);
    EXPECT_FALSE(TransferJob.inputFile.is_open());
}

}  // namespace

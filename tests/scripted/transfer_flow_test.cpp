// Whole transfers against the scripted controller: which blocks travel, what
// they hold, where a file ends, and what the operator is asked.
#include "scripted/scripted_device.h"

#include <numeric>

#include "operator/operator.h"

namespace {

class TransferFlowTest : public TransferFixture {
  protected:
    ScriptedDevice device;

    std::vector<uint8_t> DeviceBlocks(unsigned first, unsigned count) const {
        return std::vector<uint8_t>(device.memory.begin() + first * BlockSize,
                                    device.memory.begin() + (first + count) * BlockSize);
    }
    void FillDevice(unsigned first, const std::vector<uint8_t>& bytes) {
        std::copy(bytes.begin(), bytes.end(), device.memory.begin() + first * BlockSize);
    }
    static std::vector<unsigned> Range(unsigned first, unsigned count) {
        std::vector<unsigned> r(count);
        std::iota(r.begin(), r.end(), first);
        return r;
    }
    void ExpectCleanEnd() {
        EXPECT_EQ(TransferJob.phase, PhaseIdle);
        EXPECT_TRUE(Screen.boxes.empty());
        EXPECT_FALSE(TransferJob.inputFile.is_open());
        EXPECT_FALSE(TransferJob.outputFile.is_open());
    }
};

TEST_F(TransferFlowTest, ShortFileSendsTwoBlocksTheLastFilledWithZeros) {
    std::vector<uint8_t> file = Pattern(300);
    std::fill(device.memory.begin(), device.memory.end(), 0xEE);
    Begin(ActionWriteToDevice, KindFirmware, MakeFile("short.upg", file));

    ASSERT_TRUE(RunToPhase(device, PhaseBlockSent, 0));
    EXPECT_EQ(TransferJob.nextBlock + TransferJob.blocksLeft - TransferJob.firstBlock, 512);
    ASSERT_TRUE(RunToPhase(device, PhaseBlockSent, 1));
    EXPECT_EQ(TransferJob.blocksLeft, 1);
    EXPECT_EQ(TransferJob.nextBlock + TransferJob.blocksLeft - TransferJob.firstBlock, 2);
    ASSERT_TRUE(RunToEnd(device));

    ExpectCleanEnd();
    EXPECT_EQ(device.blocksWritten, (std::vector<unsigned>{0, 1}));
    std::vector<uint8_t> expected = file;
    expected.resize(2 * BlockSize, 0);
    EXPECT_EQ(DeviceBlocks(0, 2), expected);
    EXPECT_EQ(device.memory[2 * BlockSize], 0xEE) << "block 2 is not sent";
    // The wire: ESC, then command and frame per block.
    ASSERT_EQ(FakeChannel.writes.size(), 5u);
    EXPECT_EQ(FakeChannel.writes[0], std::vector<uint8_t>{ByteEsc});
    EXPECT_EQ(FakeChannel.writes[1], (std::vector<uint8_t>{0x11, 0x00, 0x00, 0xEF}));
    EXPECT_EQ(FakeChannel.writes[3], (std::vector<uint8_t>{0x11, 0x01, 0x00, 0xEE}));
    for (int i : {2, 4}) {
        ASSERT_EQ(FakeChannel.writes[i].size(), 257u);
        EXPECT_EQ(SumBytes(FakeChannel.writes[i].data(), 257), 0) << "frame " << i << " balanced";
    }
    EXPECT_EQ(TransferJob.lastChecksum, FakeChannel.writes[4][256]);
    // The last read listens for a reply that must not come.
    EXPECT_EQ(FakeChannel.readRequests, (std::vector<unsigned>{6, 1, 1, 1, 1, 1}));
}

TEST_F(TransferFlowTest, FileOfWholeBlocksIsFollowedByAZeroBlock) {
    std::vector<uint8_t> file = Pattern(512, 3);
    std::fill(device.memory.begin(), device.memory.end(), 0xEE);
    Begin(ActionWriteToDevice, KindLibraries, MakeFile("two.lib", file));
    ASSERT_TRUE(RunToEnd(device));
    ExpectCleanEnd();
    EXPECT_EQ(device.blocksWritten, (std::vector<unsigned>{512, 513, 514}));
    file.resize(3 * BlockSize, 0);
    EXPECT_EQ(DeviceBlocks(512, 3), file);
    EXPECT_EQ(TransferJob.nextBlock, 515);
}

TEST_F(TransferFlowTest, EmptyFileSendsOneZeroBlockToTheRegionStart) {
    std::fill(device.memory.begin(), device.memory.end(), 0xEE);
    Begin(ActionWriteToDevice, KindScenes, MakeFile("empty.usr", {}));
    ASSERT_TRUE(RunToEnd(device));
    ExpectCleanEnd();
    EXPECT_EQ(device.blocksWritten, std::vector<unsigned>{896});
    EXPECT_EQ(DeviceBlocks(896, 1), std::vector<uint8_t>(BlockSize, 0));
}

TEST_F(TransferFlowTest, FileOfExactlyTheRegionFillsItWithoutComplaint) {
    std::vector<uint8_t> file = Pattern(384 * BlockSize, 5);
    Begin(ActionWriteToDevice, KindLibraries, MakeFile("full.lib", file));
    ASSERT_TRUE(RunToEnd(device));
    ExpectCleanEnd();
    EXPECT_EQ(device.blocksWritten, Range(512, 384));
    EXPECT_EQ(DeviceBlocks(512, 384), file);
}

TEST_F(TransferFlowTest, FileLongerThanTheRegionSendsTheRegionAndWarns) {
    std::vector<uint8_t> file = Pattern(384 * BlockSize + 100, 9);
    Begin(ActionWriteToDevice, KindLibraries, MakeFile("long.lib", file));
    ASSERT_TRUE(RunToEnd(device));
    EXPECT_EQ(device.blocksWritten, Range(512, 384));
    EXPECT_EQ(DeviceBlocks(512, 384),
              std::vector<uint8_t>(file.begin(), file.begin() + 384 * BlockSize));
    EXPECT_EQ(DeviceBlocks(896, 1), std::vector<uint8_t>(BlockSize, 0))
        << "nothing beyond the region";
    ASSERT_EQ(Screen.boxes.size(), 1u);
    EXPECT_EQ(Screen.boxes[0].text, "Plik dłuższy niż obszar pamięci !");
    EXPECT_EQ(Screen.boxes[0].kind, FailureFile);
    EXPECT_EQ(Screen.boxes[0].operation, FileBeyondRegion);
    EXPECT_EQ(TransferJob.failure, FailureNone) << "the region itself was sent whole";
    EXPECT_EQ(Screen.boxes[0].caption, "Ostrzeżenie");
    EXPECT_EQ(Screen.boxes[0].style, BoxOk | BoxIconWarning);
    EXPECT_EQ(TransferJob.phase, PhaseIdle);
    EXPECT_FALSE(TransferJob.inputFile.is_open());
}

TEST_F(TransferFlowTest, ReadOfUserScenesGivesTheWholeRegion) {
    FillDevice(0, Pattern(DeviceBlockCount * BlockSize, 11));
    std::string path = PathOf("scenes.usr");
    Begin(ActionReadFromDevice, KindScenes, path);
    ASSERT_TRUE(RunToEnd(device));
    ExpectCleanEnd();
    EXPECT_EQ(device.blocksRead, Range(896, 3200));
    std::vector<uint8_t> got = ReadWhole(path);
    ASSERT_EQ(got.size(), 3200u * 256u);
    EXPECT_TRUE(got == DeviceBlocks(896, 3200));
    EXPECT_EQ(TransferJob.nextBlock, 4096);
    EXPECT_EQ(FakeChannel.writes[1], (std::vector<uint8_t>{0x12, 0x80, 0x03, 0x6B}));
    EXPECT_EQ(FakeChannel.writes.back(), (std::vector<uint8_t>{0x12, 0xFF, 0x0F, 0xE0}));
}

TEST_F(TransferFlowTest, EveryRegionSurvivesWriteVerifyAndRead) {
    for (int kind = KindFirmware; kind <= KindScenes; ++kind) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        DeviceRegion region = LookUpRegion(DataKind(kind));
        std::vector<uint8_t> image = Pattern(region.blockCount * BlockSize, 20 + kind);
        std::string source = MakeFile("image.bin", image);

        Begin(ActionWriteToDevice, kind, source);
        ASSERT_TRUE(RunToEnd(device));
        ExpectCleanEnd();
        EXPECT_TRUE(DeviceBlocks(region.firstBlock, region.blockCount) == image);

        Begin(ActionVerify, kind, source);
        ASSERT_TRUE(RunToEnd(device));
        ExpectCleanEnd();

        std::string copy = PathOf("copy.bin");
        Begin(ActionReadFromDevice, kind, copy);
        ASSERT_TRUE(RunToEnd(device));
        ExpectCleanEnd();
        EXPECT_TRUE(ReadWhole(copy) == image);
    }
}

const unsigned QuestionStyle = BoxYesNo | BoxIconQuestion | BoxDefaultSecond;

TEST_F(TransferFlowTest, VerifyAsksAtEachDifferenceAndStopsOnNo) {
    std::vector<uint8_t> file(2 * BlockSize, 0);
    file[5] = 1;
    device.memory[896 * BlockSize + 5] = 2;
    device.memory[896 * BlockSize + 6] = 200;
    device.memory[896 * BlockSize + 9] = 3;
    Begin(ActionVerify, KindScenes, MakeFile("v.usr", file));
    ASSERT_TRUE(RunToPhase(device, PhaseBlockReceive, 896));
    ResetScreen();
    Screen.answers = {AnswerYes, AnswerNo};
    StepWithDevice(device, PhaseBlockReceive);

    ASSERT_EQ(Screen.boxes.size(), 2u) << "position 9 is not reached";
    ASSERT_EQ(Screen.differences.size(), 2u);
    EXPECT_EQ(Screen.differences[1].fileOffset, 6u) << "counted from the region's first block";
    EXPECT_EQ(Screen.differences[1].block, 897u);
    EXPECT_EQ(Screen.boxes[0].text, "Błąd weryfikacji : blok 897 poz. 5\n1, 2\nKontynuować ?");
    EXPECT_EQ(Screen.boxes[1].text, "Błąd weryfikacji : blok 897 poz. 6\n0, 200\nKontynuować ?");
    for (const ShownBox& box : Screen.boxes) {
        EXPECT_EQ(box.caption, "Ostrzeżenie");
        EXPECT_EQ(box.style, QuestionStyle);
    }
    EXPECT_EQ(TransferJob.phase, PhaseIdle);
    EXPECT_EQ(TransferJob.failure, FailureStopped);
    EXPECT_FALSE(TransferJob.inputFile.is_open());
    EXPECT_EQ(TransferJob.nextBlock, 896);
    EXPECT_EQ(Screen.repaints, (std::vector<std::string>{"progress", "phase"}));
}

TEST_F(TransferFlowTest, VerifyAnsweredYesGoesOnWithTheNextBlock) {
    std::vector<uint8_t> file(2 * BlockSize, 0);
    device.memory[10] = 1;
    device.memory[255] = 255;
    device.memory[BlockSize] = 9;
    Begin(ActionVerify, KindFirmware, MakeFile("v.upg", file));
    Screen.answers = {AnswerYes, AnswerYes, AnswerYes};
    ASSERT_TRUE(RunToPhase(device, PhaseSendCommand, 2));
    ASSERT_EQ(Screen.boxes.size(), 3u);
    EXPECT_EQ(Screen.boxes[0].text, "Błąd weryfikacji : blok 1 poz. 10\n0, 1\nKontynuować ?");
    EXPECT_EQ(Screen.boxes[1].text, "Błąd weryfikacji : blok 1 poz. 255\n0, 255\nKontynuować ?");
    EXPECT_EQ(Screen.boxes[2].text, "Błąd weryfikacji : blok 2 poz. 0\n0, 9\nKontynuować ?");
    // The same differences as values, for a front end that shows no box.
    const VerifyDifference expected[] = {
        {1, 10, 10, 0, 1, false}, {1, 255, 255, 0, 255, false}, {2, 0, 256, 0, 9, false}};
    ASSERT_EQ(Screen.differences.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const VerifyDifference& d = Screen.differences[i];
        EXPECT_EQ(d.block, expected[i].block) << i;
        EXPECT_EQ(d.position, expected[i].position) << i;
        EXPECT_EQ(d.fileOffset, expected[i].fileOffset) << i;
        EXPECT_EQ(d.fileByte, expected[i].fileByte) << i;
        EXPECT_EQ(d.deviceByte, expected[i].deviceByte) << i;
        EXPECT_EQ(d.beyondFile, expected[i].beyondFile) << i;
    }
}

TEST_F(TransferFlowTest, VerifyOfAShortFileComparesTheZeroFillAndEndsAtItsLastBlock) {
    std::vector<uint8_t> file = Pattern(300, 4);
    FillDevice(0, file);
    device.memory[BlockSize + 50] = 7;  // past the end of the file
    device.memory[2 * BlockSize] = 8;   // beyond the last block compared
    Begin(ActionVerify, KindFirmware, MakeFile("short.upg", file));
    Screen.answers = {AnswerYes};
    ASSERT_TRUE(RunToPhase(device, PhaseBlockReceive, 1));
    ResetScreen();
    Screen.answers = {AnswerYes};
    StepWithDevice(device, PhaseBlockReceive);
    ASSERT_EQ(Screen.boxes.size(), 1u);
    EXPECT_EQ(Screen.boxes[0].text, "Błąd weryfikacji : blok 2 poz. 50\n0, 7\nKontynuować ?");
    EXPECT_TRUE(Screen.differences.at(0).beyondFile) << "byte 306 of a 300-byte file";
    EXPECT_EQ(TransferJob.phase, PhaseIdle);
    EXPECT_EQ(TransferJob.nextBlock, 1) << "ended without passing phase 9";
    EXPECT_EQ(TransferJob.blocksLeft, 511);
    EXPECT_FALSE(TransferJob.inputFile.is_open());
    EXPECT_EQ(Screen.repaints, (std::vector<std::string>{"progress", "phase"}));
}

TEST_F(TransferFlowTest, VerifyOfAFileLongerThanTheRegionWarns) {
    std::vector<uint8_t> file = Pattern(512 * BlockSize + 1, 6);
    FillDevice(0, std::vector<uint8_t>(file.begin(), file.end() - 1));
    Begin(ActionVerify, KindFirmware, MakeFile("long.upg", file));
    ASSERT_TRUE(RunToEnd(device));
    ASSERT_EQ(Screen.boxes.size(), 1u);
    EXPECT_EQ(Screen.boxes[0].text, "Plik dłuższy niż obszar pamięci !");
    EXPECT_EQ(device.blocksRead, Range(0, 512));
    EXPECT_FALSE(TransferJob.inputFile.is_open());
}

}  // namespace

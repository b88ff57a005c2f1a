// Whole transfers through the termios channel against the simulated Dm730 on
// a pseudo-terminal: the bytes that reach its memory image, the files that
// come back, the failures its faults provoke, and a line paced at 38400 baud.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <sched.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <fcntl.h>
#include <vector>

#include "operator/operator.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/serial_channel.h"
#include "support/byte_files.h"
#include "support/operator_recorder.h"
#include "support/port_folder.h"
#include "support/prepared_transfer.h"
#include "support/sim_process.h"
#include "support/temp_folder.h"
#include "transfer/start.h"
#include "transfer/transfer.h"

namespace {

using Clock = std::chrono::steady_clock;

class TransferLineTest : public ::testing::Test {
  protected:
    TempFolder dir{"selvo_line"};
    PortFolder ports;
    std::string memoryPath = dir.PathOf("memory.img");
    SimProcess sim;

    void SetUp() override {
        ResetScreen();
        ResetTransferJob();
        CreateChannelEvents();
    }

    void TearDown() override {
        CloseChannel();
        CloseChannelEvents();
        StopSim(sim);
        ResetTransferJob();
    }

    std::string PathOf(const char* name) const { return dir.PathOf(name); }

    // The controller on COM1, its memory image holding `image` when given.
    void StartDevice(const std::vector<std::string>& faults, const Bytes& image = Bytes()) {
        if (!image.empty()) WriteWhole(memoryPath, image);
        std::vector<std::string> args = {"--memory", memoryPath};
        args.insert(args.end(), faults.begin(), faults.end());
        ASSERT_EQ(StartSim(sim, ports.PathOf("com1"), args), 0);
        ASSERT_EQ(OpenChannel("COM1"), 0);
        ASSERT_EQ(ConfigureChannel(), 0);
    }

    // What the transfer start leaves: file open, region set, ESC on its way.
    void Begin(int action, int kind, const std::string& path) {
        ASSERT_TRUE(BeginPreparedTransfer(action, kind, path));
    }

    // The idle pump: a step whenever there is nothing else to do, until the
    // transfer is idle or `stop` holds. Seconds taken.
    double Pump(double limitSeconds, const std::function<bool()>& stop = nullptr) {
        Clock::time_point start = Clock::now();
        unsigned steps = 0;
        while (TransferJob.phase != PhaseIdle) {
            if (stop && stop()) break;
            double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            if (elapsed > limitSeconds) {
                ADD_FAILURE() << "transfer still in phase " << TransferJob.phase << " at block "
                              << TransferJob.nextBlock << " after " << limitSeconds << " s";
                break;
            }
            StepTransfer(unsigned(TransferJob.phase));
            // The simulator blocks once its event pipe is full: keep it drained.
            if (++steps % 256 == 0) SimLines(sim);
            sched_yield();
        }
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

    void ExpectNoBoxes() {
        for (const ShownBox& box : Screen.boxes)
            ADD_FAILURE() << "unexpected box: " << box.text << LastSimLines();
    }

    std::string LastSimLines() {
        const std::vector<std::string>& lines = SimLines(sim);
        std::string text = "\nthe simulator's last lines:";
        for (size_t i = lines.size() > 8 ? lines.size() - 8 : 0; i < lines.size(); ++i)
            text += "\n  " + lines[i];
        return text;
    }
};

TEST_F(TransferLineTest, EveryRegionIsWrittenVerifiedAndReadBack) {
    StartDevice({}, Pattern(ImageSize, 99));
    for (int kind = KindFirmware; kind <= KindScenes; ++kind) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        DeviceRegion region = LookUpRegion(DataKind(kind));
        Bytes data = Pattern(size_t(region.blockCount) * BlockSize, 1 + kind);
        std::string source = PathOf("source.bin");
        WriteWhole(source, data);

        Begin(ActionWriteToDevice, kind, source);
        Pump(120);
        ExpectNoBoxes();
        EXPECT_STREQ(IoBuffer.firmwareVersionText, "3.05");
        EXPECT_STREQ(IoBuffer.secondVersionText, "1.20");
        EXPECT_FALSE(TransferJob.inputFile.is_open());
        Bytes image = ReadWhole(memoryPath);
        ASSERT_EQ(image.size(), ImageSize);
        EXPECT_TRUE(Slice(image, region.firstBlock, region.blockCount) == data);

        Begin(ActionVerify, kind, source);
        Pump(120);
        ExpectNoBoxes();
        EXPECT_EQ(TransferJob.blocksLeft, 0);
        EXPECT_FALSE(TransferJob.inputFile.is_open());

        std::string copy = PathOf("copy.bin");
        Begin(ActionReadFromDevice, kind, copy);
        Pump(120);
        ExpectNoBoxes();
        EXPECT_FALSE(TransferJob.outputFile.is_open());
        Bytes back = ReadWhole(copy);
        EXPECT_EQ(back.size(), size_t(region.blockCount) * BlockSize);
        EXPECT_TRUE(back == data);
    }
    // Writing one region leaves the others as they were.
    Bytes image = ReadWhole(memoryPath);
    Bytes before = Pattern(ImageSize, 99);
    for (int kind = KindFirmware; kind <= KindScenes; ++kind) {
        DeviceRegion region = LookUpRegion(DataKind(kind));
        Bytes data = Pattern(size_t(region.blockCount) * BlockSize, 1 + kind);
        std::copy(data.begin(), data.end(), before.begin() + size_t(region.firstBlock) * BlockSize);
    }
    EXPECT_TRUE(image == before);
}

TEST_F(TransferLineTest, ReadOfUserScenesGivesTheRegionAsTheDeviceHoldsIt) {
    Bytes image = Pattern(ImageSize, 7);
    StartDevice({}, image);
    std::string out = PathOf("scenes.usr");
    Begin(ActionReadFromDevice, KindScenes, out);
    Pump(120);
    ExpectNoBoxes();
    Bytes got = ReadWhole(out);
    ASSERT_EQ(got.size(), 3200u * 256u);
    EXPECT_TRUE(got == Slice(image, 896, 3200));
}

TEST_F(TransferLineTest, ShortAndEmptyFilesEndWithAZeroFilledBlock) {
    StartDevice({}, Bytes(ImageSize, 0xEE));
    Bytes file = Pattern(300, 5);
    WriteWhole(PathOf("short.upg"), file);
    Begin(ActionWriteToDevice, KindFirmware, PathOf("short.upg"));
    Pump(30);
    ExpectNoBoxes();
    EXPECT_EQ(TransferJob.nextBlock, 2);
    Bytes expected = file;
    expected.resize(2 * BlockSize, 0);
    Bytes image = ReadWhole(memoryPath);
    EXPECT_TRUE(Slice(image, 0, 2) == expected);
    EXPECT_EQ(image[2 * BlockSize], 0xEE) << "block 2 untouched";

    WriteWhole(PathOf("two.lib"), Pattern(512, 6));
    Begin(ActionWriteToDevice, KindLibraries, PathOf("two.lib"));
    Pump(30);
    image = ReadWhole(memoryPath);
    expected = Pattern(512, 6);
    expected.resize(3 * BlockSize, 0);
    EXPECT_TRUE(Slice(image, 512, 3) == expected);
    EXPECT_EQ(image[515 * BlockSize], 0xEE);

    WriteWhole(PathOf("empty.usr"), Bytes());
    Begin(ActionWriteToDevice, KindScenes, PathOf("empty.usr"));
    Pump(30);
    image = ReadWhole(memoryPath);
    EXPECT_TRUE(Slice(image, 896, 1) == Bytes(BlockSize, 0));
    EXPECT_EQ(image[897 * BlockSize], 0xEE);
    ExpectNoBoxes();
}

TEST_F(TransferLineTest, FileLongerThanItsRegionStopsAtTheRegionEnd) {
    StartDevice({}, Bytes(ImageSize, 0xEE));
    Bytes file = Pattern(384 * BlockSize + 700, 8);
    WriteWhole(PathOf("long.lib"), file);
    Begin(ActionWriteToDevice, KindLibraries, PathOf("long.lib"));
    Pump(60);
    Bytes image = ReadWhole(memoryPath);
    EXPECT_TRUE(Slice(image, 512, 384) == Bytes(file.begin(), file.begin() + 384 * BlockSize));
    EXPECT_TRUE(Slice(image, 896, 1) == Bytes(BlockSize, 0xEE));
    ASSERT_EQ(Screen.boxes.size(), 1u);
    EXPECT_EQ(Screen.boxes[0].text, "Plik dłuższy niż obszar pamięci !");
    EXPECT_FALSE(TransferJob.inputFile.is_open());
}

struct LineFailure {
    std::vector<std::string> faults;
    int action;
    const char* text;
    unsigned storedBlocks;  // read: blocks in the file afterwards
};

TEST_F(TransferLineTest, DeviceFaultsEndTheTransferWithTheirText) {
    const LineFailure cases[] = {
        {{"--ident-nak"}, ActionWriteToDevice, "Błąd inicjacji : NAK", 0},
        {{"--ident-status", "0x07"}, ActionReadFromDevice, "Błąd inicjacji : błąd ACK :  7", 0},
        {{"--bad-ident-checksum=0x0A"}, ActionVerify, "Błąd inicjacji : sumy kontrolnej : a", 0},
        {{"--ident-silent"}, ActionWriteToDevice, "Błąd inicjacji : brak danych : 0", 0},
        {{"--nak-command", "513"}, ActionWriteToDevice, "Błąd potwierdzenia : NAK", 0},
        {{"--status-byte", "512:0x07"},
         ActionReadFromDevice,
         "Błąd potwierdzenia : błąd ACK :  7",
         0},
        {{"--status-byte", "513:0x1B"}, ActionVerify, "Błąd potwierdzenia : błąd ACK : 1b", 0},
        {{"--silent-after", "2"}, ActionReadFromDevice, "Błąd potwierdzenia : brak danych : 0", 2},
        {{"--nak-block", "514"}, ActionWriteToDevice, "Błąd przesyłania : NAK", 0},
        {{"--block-status", "512:0x07"},
         ActionWriteToDevice,
         "Błąd przesyłania : błąd ACK :  7",
         0},
        {{"--bad-checksum", "514:0x3F"},
         ActionReadFromDevice,
         "Błąd przesyłania : sumy kontrolnej : 3f",
         2},
        {{"--bad-checksum", "512:0x3F"},
         ActionVerify,
         "Błąd przesyłania : sumy kontrolnej : 3f",
         0},
        {{"--short-frame", "513"}, ActionReadFromDevice, "Błąd przesyłania : brak danych : 200", 1},
        {{"--hangup-after", "1"}, ActionReadFromDevice, "Kod błędu : 109", 1},
    };
    Bytes image = Pattern(ImageSize, 3);
    WriteWhole(PathOf("in.lib"), Slice(image, 512, 384));
    for (const LineFailure& c : cases) {
        SCOPED_TRACE(c.text);
        CloseChannel();
        StopSim(sim);
        ResetScreen();
        StartDevice(c.faults, image);
        std::string path = c.action == ActionReadFromDevice ? PathOf("out.lib") : PathOf("in.lib");
        Begin(c.action, KindLibraries, path);
        Pump(30);
        ASSERT_EQ(Screen.boxes.size(), 1u);
        EXPECT_EQ(Screen.boxes[0].text, c.text);
        EXPECT_EQ(Screen.boxes[0].caption, "Niepowodzenie");
        EXPECT_EQ(Screen.boxes[0].style, BoxOk | BoxIconError);
        EXPECT_EQ(TransferJob.phase, PhaseIdle);
        EXPECT_FALSE(TransferJob.inputFile.is_open());
        EXPECT_FALSE(TransferJob.outputFile.is_open());
        if (c.action == ActionReadFromDevice) {
            EXPECT_TRUE(ReadWhole(path) == Slice(image, 512, c.storedBlocks));
        }
    }
}

TEST_F(TransferLineTest, VerifyAsksAboutEachDifference) {
    Bytes image = Pattern(ImageSize, 4);
    image[896 * BlockSize + 5] = 2;
    image[896 * BlockSize + 6] = 3;
    StartDevice({}, image);
    Bytes file = Slice(image, 896, 2);
    file[5] = 1;
    file[6] = 4;
    WriteWhole(PathOf("v.usr"), file);
    Begin(ActionVerify, KindScenes, PathOf("v.usr"));
    Screen.answers = {AnswerYes, AnswerNo};
    Pump(30);
    ASSERT_EQ(Screen.boxes.size(), 2u);
    EXPECT_EQ(Screen.boxes[0].text, "Błąd weryfikacji : blok 897 poz. 5\n1, 2\nKontynuować ?");
    EXPECT_EQ(Screen.boxes[1].text, "Błąd weryfikacji : blok 897 poz. 6\n4, 3\nKontynuować ?");
    EXPECT_EQ(Screen.boxes[1].caption, "Ostrzeżenie");
    EXPECT_EQ(Screen.boxes[1].style, BoxYesNo | BoxIconQuestion | BoxDefaultSecond);
    EXPECT_EQ(TransferJob.phase, PhaseIdle);
    EXPECT_EQ(TransferJob.nextBlock, 896);
    EXPECT_FALSE(TransferJob.inputFile.is_open());

    // Answering Yes throughout compares the whole short file and ends at its end.
    ResetScreen();
    Begin(ActionVerify, KindScenes, PathOf("v.usr"));
    Screen.answers = std::deque<int>(300, AnswerYes);
    Pump(30);
    size_t zeros =
        size_t(std::count(image.begin() + 898 * BlockSize, image.begin() + 899 * BlockSize, 0));
    EXPECT_EQ(Screen.boxes.size(), 2u + 256u - zeros)
        << "then every non-zero byte of block 898 against the zero fill";
    EXPECT_EQ(TransferJob.nextBlock, 898) << "ends at the end of the file";
    EXPECT_FALSE(TransferJob.inputFile.is_open());
}

TEST_F(TransferLineTest, StopInTheMiddleKeepsWhatWasReadAndTheLineRecovers) {
    Bytes image = Pattern(ImageSize, 12);
    StartDevice({}, image);
    std::string out = PathOf("part.usr");
    Begin(ActionReadFromDevice, KindScenes, out);
    // Stopped while the frame of block 900 is on its way.
    Pump(30, [] { return TransferJob.nextBlock == 900 && TransferJob.phase == PhaseBlockReceive; });
    ASSERT_EQ(TransferJob.nextBlock, 900);
    StopTransfer();
    EXPECT_EQ(TransferJob.phase, PhaseIdle);
    EXPECT_TRUE(TransferJob.outputFile.is_open()) << "stop closes no file";
    EXPECT_EQ(Screen.repaints.back(), "window");
    EXPECT_TRUE(ReadWhole(out) == Slice(image, 896, 4)) << "blocks read so far are on disk";

    // The next transfer, on the reopened port as a start would do it, runs through.
    CloseChannel();
    ASSERT_EQ(OpenChannel("COM1"), 0);
    ASSERT_EQ(ConfigureChannel(), 0);
    ResetScreen();
    Begin(ActionReadFromDevice, KindLibraries, PathOf("next.lib"));
    Pump(60);
    ExpectNoBoxes();
    EXPECT_TRUE(ReadWhole(PathOf("next.lib")) == Slice(image, 512, 384));
}

// One noise byte that looks like an ACK, while the command reply of block 513
// is still on its way: every later reply would be taken for the one before,
// and block 514's NAK for nothing at all.
TEST_F(TransferLineTest, ANoiseByteThatLooksLikeAnAckFailsTheTransfer) {
    StartDevice({"--turnaround", "40", "--nak-block", "514", "--noise", "513"});
    WriteWhole(PathOf("three.lib"), Pattern(600, 9));
    Begin(ActionWriteToDevice, KindLibraries, PathOf("three.lib"));
    Pump(30);
    ASSERT_EQ(Screen.boxes.size(), 1u) << LastSimLines();
    EXPECT_EQ(Screen.boxes[0].text, "Błąd przesyłania : nadmiar danych");
    EXPECT_EQ(TransferJob.phase, PhaseIdle);
    EXPECT_FALSE(TransferJob.inputFile.is_open());
    EXPECT_EQ(WaitSimEvent(sim, "fault noise 513", 1000), 0) << LastSimLines();
}

// A reply that came too late stays queued; the next transfer opens the port
// anew and must not take it for the start of its identification reply.
TEST_F(TransferLineTest, ALateReplyDoesNotReachTheNextTransfer) {
    StartDevice({"--turnaround", "300"});
    WriteWhole(PathOf("in.upg"), Pattern(300, 10));
    Begin(ActionWriteToDevice, KindFirmware, PathOf("in.upg"));
    Pump(10);
    ASSERT_EQ(Screen.boxes.size(), 1u);
    EXPECT_EQ(Screen.boxes[0].text, "Błąd potwierdzenia : brak danych : 0");
    // The late ACK arrives; then the port is reopened, as every start does.
    usleep(500 * 1000);
    CloseChannel();
    ASSERT_EQ(OpenChannel("COM1"), 0);
    ASSERT_EQ(ConfigureChannel(), 0);
    ResetScreen();
    Begin(ActionWriteToDevice, KindFirmware, PathOf("in.upg"));
    Pump(10);
    ASSERT_EQ(Screen.boxes.size(), 1u);
    EXPECT_EQ(Screen.boxes[0].text, "Błąd potwierdzenia : brak danych : 0")
        << "the identification reply passed, the command reply came late again";
}

// Windows ends a 1-byte read after 120 ms; a process that keeps looking at
// the line (every 10 ms here) must not take a byte that arrived after that,
// however late its last poll. (A process that was stopped past the deadline
// takes what waits: the channel's own tests show that.)
TEST_F(TransferLineTest, AReadEndsAtItsDeadlineHoweverLateThePoll) {
    StartDevice({"--turnaround", "200"});
    BuildIdentRequest();
    ASSERT_EQ(StartWrite(1), 0u);
    unsigned long value = 0;
    while (Poll(WriteRecord, &value) == PollPending) {}
    StartRead(1);
    ASSERT_EQ(WaitSimEvent(sim, "ident", 1000), 0);
    for (int i = 0; i < 40; ++i) {
        Poll(ReadRecord, &value);
        usleep(10 * 1000);
    }
    ASSERT_EQ(Poll(ReadRecord, &value), PollDone);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(CountWaitingBytes(), 6u) << "the late reply stays queued";
}

// A pipe with no other end would hold the start in its open for ever, a
// device would never end; neither is a file to send, compare or overwrite.
TEST_F(TransferLineTest, PipesAndDevicesAreRefusedWithoutWaiting) {
    StartDevice({});
    std::string pipe = PathOf("pipe.upg");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string device = PathOf("null.upg");
    ASSERT_EQ(symlink("/dev/null", device.c_str()), 0);
    // Should the start block in its open, the other end comes after two
    // seconds, so the test fails instead of hanging.
    std::atomic<bool> started{false};
    std::thread rescue([&] {
        for (int i = 0; i < 200 && !started; ++i) usleep(10 * 1000);
        if (!started) close(open(pipe.c_str(), O_RDWR));
    });
    for (int action : {ActionWriteToDevice, ActionVerify, ActionReadFromDevice}) {
        for (const std::string& path : {pipe, device}) {
            SCOPED_TRACE(path + " action " + std::to_string(action));
            ResetScreen();
            Screen.answers = {AnswerYes};
            TransferJob.action = action;
            TransferJob.kind = KindFirmware;
            EXPECT_EQ(StartTransferWithFile(path.c_str()), StartFailed);
            ASSERT_FALSE(Screen.boxes.empty());
            EXPECT_EQ(Screen.boxes.back().text, "Błąd otwarcia pliku !");
            EXPECT_EQ(TransferJob.phase, PhaseIdle);
        }
    }
    started = true;
    rescue.join();
    EXPECT_EQ(WaitSimEvent(sim, "ident", 200), -1) << "nothing reached the controller";
}

// At the line rate the frames arrive a byte at a time, so reads complete in
// pieces; whole blocks must still cross in both directions within the port's
// timeouts. (How fast is the benchmark's business: tools/bench.sh.)
TEST_F(TransferLineTest, WholeBlocksCrossAPacedLine) {
    Bytes image = Pattern(ImageSize, 14);
    StartDevice({"--line-rate"}, image);
    Bytes data = Pattern(12 * BlockSize, 15);
    WriteWhole(PathOf("twelve.usr"), data);
    Begin(ActionWriteToDevice, KindScenes, PathOf("twelve.usr"));
    Pump(30);
    ExpectNoBoxes();
    // A file of whole blocks that ends inside the region is followed by a zero block.
    data.resize(13 * BlockSize, 0);
    EXPECT_TRUE(Slice(ReadWhole(memoryPath), 896, 13) == data);

    Begin(ActionReadFromDevice, KindScenes, PathOf("back.usr"));
    Pump(30, [] { return TransferJob.nextBlock == 896 + 13; });
    ExpectNoBoxes();
    StopTransfer();
    TransferJob.outputFile.close();
    EXPECT_TRUE(ReadWhole(PathOf("back.usr")) == data);
}

}  // namespace

// dm730 linetest: whether the line itself is sound, apart from any transfer.
// With the controller, two reads of the start of its firmware (a read changes
// nothing) with every fault counted; with a loopback plug, pseudo-random
// bytes sent and compared with what comes back.
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/system/interrupt.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/line_test.h"
#include "cli/transfers/line_trace.h"
#include "cli/transfers/region_transfer.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/port_open.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"

namespace {

// Two reads of this many blocks take about 15 s at the line's rate.
const unsigned TestBlocks = 100;
const unsigned long DefaultLoopbackSeconds = 10;

typedef std::chrono::steady_clock Clock;

// What the watcher of the line counts during the two reads.
struct ReadWatch {
    ControllerLineCount count;
    unsigned long identRequests = 0;
    bool lastOutCommand = false;
    Clock::time_point commandAt;
    std::vector<double> replyMs;
};
ReadWatch Watch;

void WatchReads(LineDirection direction, const uint8_t* bytes, unsigned long n,
                unsigned long requested) {
    if (direction == LineOut) {
        if (n == IdentRequestSize && bytes[0] == ByteEsc) ++Watch.identRequests;
        Watch.lastOutCommand = n == CommandFrameSize;
        if (Watch.lastOutCommand) Watch.commandAt = Clock::now();
        return;
    }
    if (requested == DataFrameSize) {
        // What is read after it only makes sure nothing more came.
        Watch.lastOutCommand = false;
        if (n == 0)
            ++Watch.count.silences;
        else if (n < DataFrameSize)
            ++Watch.count.shortAnswers;
        else if (SumBytes(bytes, DataFrameSize) != 0)
            ++Watch.count.badChecksums;
        return;
    }
    if (requested != ByteReplySize || !Watch.lastOutCommand) return;
    if (n == 0) {
        ++Watch.count.silences;
    } else if (bytes[0] == ByteAck) {
        Watch.replyMs.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - Watch.commandAt).count());
    } else if (bytes[0] == ByteNak) {
        ++Watch.count.naks;
    } else {
        ++Watch.count.otherAnswers;
    }
}

unsigned long FaultsOf(const LineErrorCounts& c) {
    return c.framing + c.parity + c.overrun + c.breaks;
}

void PrintDriverFaults(bool counted, const LineErrorCounts& before, const LineErrorCounts& after) {
    if (!counted) {
        PrintMessage(ConsoleOut, MsgDriverCountsNoFaults);
        return;
    }
    PrintMessage(ConsoleOut, MsgDriverCounts, after.framing - before.framing,
                 after.parity - before.parity, after.overrun - before.overrun,
                 after.breaks - before.breaks);
}

unsigned long BlocksDiffering(const std::string& a, const std::string& b) {
    unsigned long differing = 0;
    for (size_t at = 0; at < a.size() || at < b.size(); at += BlockSize)
        if (a.compare(at, BlockSize, b, at < b.size() ? at : b.size(), BlockSize) != 0) ++differing;
    return differing;
}

ExitCode TestWithController(const CommandLine& line) {
    ExitCode found = FindController(line.port, line.quiet);
    if (found != ExitDone) return found;
    Watch = ReadWatch();
    AlsoTellLine(WatchReads);
    LineErrorCounts before = {}, after = {};
    bool counted = ReadLineErrorCounts(&before);
    std::string reads[2];
    ExitCode codes[2] = {ExitDone, ExitDone};
    for (int i = 0; i < 2; ++i) {
        std::stringstream memory;
        codes[i] = RunRegionTransfer(ActionReadFromDevice, KindFirmware, Say(MsgTestMemory),
                                     "linetest.upg", BlockSpan{0, TestBlocks}, &memory);
        reads[i] = memory.str();
        if (codes[i] == ExitInterrupted || codes[i] == ExitPortUnusable) {
            AlsoTellLine(nullptr);
            return codes[i];
        }
    }
    counted = counted && ReadLineErrorCounts(&after);
    AlsoTellLine(nullptr);
    ControllerLineCount& count = Watch.count;
    // Each read asks for the identification once; every other request began a retry.
    count.retries = Watch.identRequests > 2 ? Watch.identRequests - 2 : 0;
    count.driverFaults = counted ? FaultsOf(after) - FaultsOf(before) : 0;
    count.bothReadsEnded = codes[0] == ExitDone && codes[1] == ExitDone;
    count.blocksDiffering = count.bothReadsEnded ? BlocksDiffering(reads[0], reads[1]) : 0;
    std::string firmware, second;
    FoundControllerVersions(&firmware, &second);
    PrintMessage(ConsoleOut, MsgLineTestHead, FoundPortName(), firmware.c_str(), second.c_str(),
                 TestBlocks);
    PrintMessage(ConsoleOut, MsgLineTestCounts, count.retries, count.silences, count.shortAnswers,
                 count.naks, count.otherAnswers, count.badChecksums);
    ReplyTimes times = SummarizeReplyTimes(Watch.replyMs);
    if (times.count > 0)
        PrintMessage(ConsoleOut, MsgLineTestReplyTime, times.medianMs, times.p99Ms);
    PrintDriverFaults(counted, before, after);
    if (!count.bothReadsEnded)
        PrintMessage(ConsoleOut, MsgLineTestUnfinished);
    else if (count.blocksDiffering == 0)
        PrintMessage(ConsoleOut, MsgLineTestSame, TestBlocks);
    else
        PrintMessage(ConsoleOut, MsgLineTestDiffer, count.blocksDiffering);
    LineVerdict verdict = JudgeControllerLine(count);
    PrintMessage(ConsoleOut, MsgVerdict, VerdictText(verdict));
    return verdict == LineSound ? ExitDone : ExitLineFailed;
}

// Pseudo-random bytes, every value among them, the same in every run.
uint8_t NextTestByte(uint32_t* state) {
    *state ^= *state << 13;
    *state ^= *state >> 17;
    *state ^= *state << 5;
    return uint8_t(*state >> 24);
}

// One operation to its end, sleeping on the line between looks.
PollOutcome AwaitOperation(ChannelRecord record, unsigned long* value) {
    PollOutcome outcome;
    while ((outcome = Poll(record, value)) == PollPending && !WasInterrupted())
        WaitForChannel(ChannelWaitLimitMs, WakeForLine);
    return outcome;
}

// A chunk at a time: out, then back. A write and a read in flight together
// would share the one byte area.
const unsigned Chunk = 64;

ExitCode TestLoopback(const CommandLine& line) {
    ExitCode found = FindLoopback(line.port);
    if (found != ExitDone) return found;
    unsigned long seconds = line.seconds != 0 ? line.seconds : DefaultLoopbackSeconds;
    if (!line.quiet)
        PrintMessage(ConsoleError, MsgSendingFor, ListedPortName(currentPort), seconds);
    // The plug gives back a first byte before the count begins: an adapter
    // (or whatever is at the line's other end) may take a moment after the
    // port opened, and what it lost then is no fault of the line.
    for (int attempt = 0; attempt < 10 && !WasInterrupted(); ++attempt) {
        PurgeChannel();
        if (SendPriorityByte(ByteEsc) != ChannelDone) break;
        StartRead(1);
        unsigned long back = 0;
        if (AwaitOperation(ReadRecord, &back) == PollDone && back == 1) break;
    }
    PurgeChannel();
    LineErrorCounts before = {}, after = {};
    bool counted = ReadLineErrorCounts(&before);
    std::string sent, received;
    uint32_t state = 0x2545F491u;
    Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
    bool failed = false;
    while (Clock::now() < end && !WasInterrupted() && !failed) {
        for (unsigned i = 0; i < Chunk; ++i) IoBuffer.frameArea[i] = NextTestByte(&state);
        sent.append(reinterpret_cast<const char*>(IoBuffer.frameArea), Chunk);
        unsigned long value = 0;
        failed =
            StartWrite(Chunk) != ErrorSuccess || AwaitOperation(WriteRecord, &value) != PollDone;
        if (failed) break;
        StartRead(Chunk);
        failed = AwaitOperation(ReadRecord, &value) != PollDone;
        if (!failed) received.append(reinterpret_cast<const char*>(IoBuffer.frameArea), value);
        // Nothing came back for a whole chunk: no plug, or a dead line.
        if (!failed && value == 0) break;
    }
    // What is still on its way back; a read would wait out its whole timeout
    // for bytes that were lost.
    if (!failed && !WasInterrupted()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        unsigned long waiting = CountWaitingBytes();
        unsigned long value = 0;
        if (waiting > 0) {
            StartRead(unsigned(waiting < sizeof IoBuffer.frameArea ? waiting
                                                                   : sizeof IoBuffer.frameArea));
            if (AwaitOperation(ReadRecord, &value) == PollDone)
                received.append(reinterpret_cast<const char*>(IoBuffer.frameArea), value);
        }
    }
    if (WasInterrupted()) return ExitInterrupted;
    if (failed) {
        PrintMessage(ConsoleError, MsgPortStopped, ListedPortName(currentPort));
        return ExitPortUnusable;
    }
    counted = counted && ReadLineErrorCounts(&after);
    EchoCount echo = CompareEcho(sent, received);
    PrintMessage(ConsoleOut, MsgLoopbackHead, ListedPortName(currentPort), seconds);
    PrintMessage(ConsoleOut, MsgLoopbackCounts, echo.sent, echo.received, echo.lost, echo.changed,
                 echo.extra);
    PrintDriverFaults(counted, before, after);
    bool sound = echo.lost + echo.changed + echo.extra == 0 &&
                 (!counted || FaultsOf(after) == FaultsOf(before));
    LineVerdict verdict = sound ? LineSound : LineCableOrAdapter;
    PrintMessage(ConsoleOut, MsgVerdict, VerdictText(verdict));
    return sound ? ExitDone : ExitLineFailed;
}

}  // namespace

ExitCode RunLineTestCommand(const CommandLine& line) {
    return line.loopback ? TestLoopback(line) : TestWithController(line);
}

#include "support/fake_channel.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "protocol/io_buffer.h"
#include "serial/serial_channel.h"

FakeChannelState FakeChannel;

void ResetFakeChannel() { FakeChannel = FakeChannelState(); }

void ScriptPending(ChannelRecord record, int times) {
    for (int i = 0; i < times; ++i) FakeChannel.polls[record].push_back(FakePoll{PollPending, 0});
}

void ScriptPollFailure(ChannelRecord record, unsigned long code) {
    FakeChannel.polls[record].push_back(FakePoll{PollFailed, code});
}

void ScriptPollDone(ChannelRecord record) {
    FakeChannel.polls[record].push_back(FakePoll{PollDone, 0});
}

void ScriptRead(const std::vector<uint8_t>& bytes) { FakeChannel.reads.push_back(bytes); }

void ScriptPortRead(const std::string& port, const std::vector<uint8_t>& bytes) {
    FakeChannel.portReads[port].push_back(bytes);
}

void CreateChannelEvents() { FakeChannel.eventsCreated = true; }

void CloseChannelEvents() { FakeChannel.eventsCreated = false; }

PortOpenOutcome OpenChannel(const char* portName) {
    FakeChannel.openNames.push_back(portName);
    auto found = FakeChannel.openResults.find(portName);
    if (found != FakeChannel.openResults.end() && found->second != PortOpened) return found->second;
    FakeChannel.open = true;
    FakeChannel.portName = portName;
    FakeChannel.readInFlight = false;
    FakeChannel.waiting.clear();
    return PortOpened;
}

PortOpenOutcome ConfigureChannel() {
    ++FakeChannel.configures;
    auto found = FakeChannel.configureResults.find(FakeChannel.portName);
    return found != FakeChannel.configureResults.end() ? found->second
                                                       : FakeChannel.configureResult;
}

bool IsChannelOpen() { return FakeChannel.open; }

unsigned long PortOpenSystemError() { return 0; }

ChannelOutcome PurgeChannel() {
    if (!FakeChannel.open) return ChannelDone;
    ++FakeChannel.purges;
    FakeChannel.waiting.clear();
    return FakeChannel.purgeResult;
}

ChannelOutcome SendPriorityByte(uint8_t b) {
    FakeChannel.priorityBytes.push_back(b);
    auto found = FakeChannel.priorityResults.find(FakeChannel.portName);
    return found != FakeChannel.priorityResults.end() ? found->second : FakeChannel.priorityResult;
}

unsigned long StartWrite(unsigned n) {
    unsigned long error = FakeChannel.startWriteError;
    if (error != 0 && error != ErrorIoPending) return error;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&IoBuffer);
    n = std::min<unsigned>(n, sizeof IoBuffer);
    FakeChannel.writes.emplace_back(bytes, bytes + n);
    FakeChannel.lastWriteCount = n;
    return error;
}

static long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

static bool IsReadStalled() {
    auto stall = FakeChannel.readStallMs.find(FakeChannel.portName);
    return stall != FakeChannel.readStallMs.end() && FakeChannel.readInFlight &&
           NowMs() - FakeChannel.readStartedMs < stall->second;
}

void StartRead(unsigned n) {
    FakeChannel.readStartedMs = NowMs();
    FakeChannel.readRequests.push_back(n);
    FakeChannel.readInFlight = true;
    FakeChannel.readLength = n;
}

static void CompleteRead() {
    std::vector<uint8_t> bytes;
    bytes.swap(FakeChannel.waiting);
    auto port = FakeChannel.portReads.find(FakeChannel.portName);
    if (port != FakeChannel.portReads.end() && !port->second.empty()) {
        bytes.insert(bytes.end(), port->second.front().begin(), port->second.front().end());
        port->second.pop_front();
    } else if (!FakeChannel.reads.empty()) {
        bytes.insert(bytes.end(), FakeChannel.reads.front().begin(),
                     FakeChannel.reads.front().end());
        FakeChannel.reads.pop_front();
    }
    size_t n = std::min<size_t>({bytes.size(), FakeChannel.readLength, sizeof IoBuffer});
    if (n > 0) std::memcpy(&IoBuffer, bytes.data(), n);
    FakeChannel.waiting.assign(bytes.begin() + n, bytes.end());
    FakeChannel.lastReadCount = n;
    FakeChannel.readInFlight = false;
    FakeChannel.faults.framing += FakeChannel.framingPerRead;
}

PollOutcome Poll(ChannelRecord record, unsigned long* value) {
    FakeChannel.pollRecords.push_back(record);
    if (record == ReadRecord && IsReadStalled()) return PollPending;
    FakePoll next{PollDone, 0};
    if (!FakeChannel.polls[record].empty()) {
        next = FakeChannel.polls[record].front();
        FakeChannel.polls[record].pop_front();
    }
    if (next.outcome == PollPending) return PollPending;
    if (next.outcome == PollFailed) {
        if (record == ReadRecord) FakeChannel.readInFlight = false;
        *value = next.code;
        return PollFailed;
    }
    if (record == ReadRecord) {
        if (FakeChannel.readInFlight) CompleteRead();
        *value = FakeChannel.lastReadCount;
    } else {
        *value = FakeChannel.lastWriteCount;
    }
    return PollDone;
}

unsigned long CountWaitingBytes() { return FakeChannel.open ? FakeChannel.waiting.size() : 0; }

// Time does not pass here: the script decides what the next poll finds.
ChannelWaitEnd WaitForChannel(unsigned maxMs, ChannelWake wake) {
    FakeChannel.waits.push_back(wake);
    FakeChannel.waitBounds.push_back(maxMs);
    return WaitEndedByLine;
}

void CloseChannel() {
    if (FakeChannel.open) ++FakeChannel.closes;
    FakeChannel.open = false;
    FakeChannel.portName.clear();
    FakeChannel.readInFlight = false;
}

bool ReadLineErrorCounts(LineErrorCounts* counts) {
    if (!FakeChannel.open || !FakeChannel.faultsCounted) return false;
    *counts = FakeChannel.faults;
    return true;
}

bool ReadLineSettings(LineSettingsRead* settings) {
    if (!FakeChannel.open) return false;
    *settings = LineSettingsRead{38400, 8, 'N', 1, false, false};
    return true;
}

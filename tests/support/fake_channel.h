// A serial channel driven by a script instead of a port: every call is
// recorded, and each poll and each completed read takes its outcome from the
// script. With nothing scripted every poll completes at once, every read
// delivers nothing (count 0) and every open, configuration and send succeeds.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "serial/serial_channel.h"

// One scripted outcome of Poll for one record.
struct FakePoll {
    PollOutcome outcome;
    unsigned long code;  // the error code of PollFailed
};

struct FakeChannelState {
    bool open = false;
    std::string portName;  // name of the open port
    bool eventsCreated = false;

    // What the program did.
    std::vector<std::string> openNames;  // every OpenChannel call, in order
    int configures = 0;
    int closes = 0;
    int purges = 0;
    std::vector<uint8_t> priorityBytes;        // every SendPriorityByte
    std::vector<std::vector<uint8_t>> writes;  // bytes of each started StartWrite
    std::vector<unsigned> readRequests;        // n of each StartRead
    std::vector<int> pollRecords;              // record of every Poll call
    std::vector<int> waits;                    // wake of every WaitForChannel call
    std::vector<unsigned> waitBounds;          // and its maxMs

    // What the channel answers.
    std::map<std::string, PortOpenOutcome> openResults;       // by name (default PortOpened)
    std::map<std::string, PortOpenOutcome> configureResults;  // by open port name
    PortOpenOutcome configureResult = PortOpened;             // for the other names
    std::map<std::string, ChannelOutcome> priorityResults;    // by open port name
    ChannelOutcome priorityResult = ChannelDone;              // for the other names
    ChannelOutcome purgeResult = ChannelDone;
    unsigned long startWriteError = 0;  // StartWrite returns it when non-zero; the
                                        // write is recorded only for ErrorIoPending
    std::deque<FakePoll> polls[2];      // per record (WriteRecord, ReadRecord)
    // Bytes a completed read delivers into IoBuffer.frameArea, one entry per
    // read; at most the requested count is delivered, the rest waits on the
    // line (see waiting).
    std::deque<std::vector<uint8_t>> reads;
    // Reads answered only while the named port is open; used before `reads`.
    std::map<std::string, std::deque<std::vector<uint8_t>>> portReads;

    // A driver that ignores the port's timeouts: a read on the named port
    // stays pending for this long (wall clock), whatever the script says.
    std::map<std::string, int> readStallMs;

    // Bytes on the line that no read has taken: CountWaitingBytes reports
    // them, the next completed read takes them first, an open or a purge
    // drops them.
    std::vector<uint8_t> waiting;

    // The driver's fault counts, when it keeps them; they do not move unless
    // a test moves them (see framingPerRead).
    bool faultsCounted = false;
    LineErrorCounts faults = {};
    // Framing faults each completed read adds.
    unsigned long framingPerRead = 0;

    // Inner state of the records.
    bool readInFlight = false;
    unsigned readLength = 0;
    long long readStartedMs = 0;
    unsigned long lastReadCount = 0;
    unsigned long lastWriteCount = 0;
};

extern FakeChannelState FakeChannel;

void ResetFakeChannel();

// Script helpers.
void ScriptPending(ChannelRecord record, int times);
void ScriptPollFailure(ChannelRecord record, unsigned long code);
void ScriptPollDone(ChannelRecord record);
void ScriptRead(const std::vector<uint8_t>& bytes);
void ScriptPortRead(const std::string& port, const std::vector<uint8_t>& bytes);

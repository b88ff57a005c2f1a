// What a line test counts and what it concludes: the bytes a loopback plug
// gave back against those sent, the controller's reply times, and the
// verdict a technician acts on.
#pragma once
#include <string>
#include <vector>

struct EchoCount {
    unsigned long sent = 0;
    unsigned long received = 0;
    unsigned long lost = 0;     // sent, never came back
    unsigned long changed = 0;  // came back as another byte
    unsigned long extra = 0;    // came back though never sent
};

// Lines the received bytes up with the sent ones, finding its way back after
// a lost or an extra byte (four bytes in a row must agree again), and counts.
EchoCount CompareEcho(const std::string& sent, const std::string& received);

struct ReplyTimes {
    unsigned long count = 0;
    double medianMs = 0;
    double p99Ms = 0;  // the time 99 of 100 replies stayed within
};
ReplyTimes SummarizeReplyTimes(std::vector<double> milliseconds);

enum LineVerdict {
    LineSound = 0,       // "linia w porządku"
    LineCableOrAdapter,  // bytes lost, changed or garbled on the way
    LineController,      // the line carries bytes well, the controller misbehaves
};
const char* VerdictText(LineVerdict verdict);

// What the test with the controller saw over its two reads.
struct ControllerLineCount {
    unsigned long retries = 0;
    unsigned long silences = 0;      // an answer that never came
    unsigned long shortAnswers = 0;  // an answer cut short
    unsigned long naks = 0;          // the controller refused a frame of ours
    unsigned long badChecksums = 0;  // a data frame whose sum is wrong
    unsigned long otherAnswers = 0;  // a one-byte answer neither ACK nor NAK
    unsigned long driverFaults = 0;  // framing, parity, overrun, break counted by the driver
    bool bothReadsEnded = false;
    unsigned long blocksDiffering = 0;  // between the two reads
};
// Faults of the bytes on the way (changed, lost, counted by the driver) point
// at the cable or the adapter; two reads that disagree although every
// frame's sum was right, or answers that never come on a line otherwise
// clean, at the controller.
LineVerdict JudgeControllerLine(const ControllerLineCount& count);

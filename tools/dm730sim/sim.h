// The simulated Dm730 controller: shared records and the operations each
// concern offers the others. One thread, one poll loop (main.cpp).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The device's side of the protocol, kept apart from the program's frames on
// purpose: a mistake there must not be repeated here, where it would pass.
const uint8_t ESC = 0x1B;
const uint8_t ACK = 0x06;
const uint8_t NAK = 0x15;
const uint8_t OpWriteBlock = 0x11;
const uint8_t OpReadBlock = 0x12;

const int BlockSize = 256;
const int FrameSize = 257;  // a block and its checksum byte
const int CommandSize = 4;
const int IdentSize = 6;
const int BlockCount = 4096;  // 1 MiB of memory

// 10 bits a byte (start, 8 data, stop) at 38400 baud.
const int64_t ByteTimeNs = 10LL * 1000000000LL / 38400;
// A partial frame followed by more silence than this is abandoned.
const int64_t FrameSilenceNs = 100LL * 1000000LL;

int64_t NowNs();

// Command line, settled before the line opens.
struct SimOptions {
    std::string linkPath;    // --link: pty, this path links to its slave end
    std::string devicePath;  // --device: a real serial device instead
    std::string memoryPath;  // --memory: 1 MiB image file
    uint8_t versions[4] = {3, 5, 1, 20};
    bool lineRate = false;
    bool portEvents = false;  // --port-events: report the peer's opens and closes
    bool timestamps = false;  // --timestamps: each event line starts with its time
    int64_t turnaroundNs = 0;
};
extern SimOptions Options;

// events.cpp: one line on stdout per frame handled, written as soon as the
// reader takes it, never blocking the line.
void SetupReports();
void Report(const char* format, ...) __attribute__((format(printf, 1, 2)));
int FlushReports();     // -1 once the reader has gone away
bool ReportsPending();  // lines wait for the pipe: poll stdout for POLLOUT
void FinishReports();

// line.cpp: the serial line and its pacing.
int OpenLine();  // 0 ready, -1 failed (reason on stderr)
bool IsLineUp();
const char* LineTtyName();
void CloseLine(bool hangup);  // hangup: print the event and drop the link now
void ReceiveBytes(int64_t now);
bool TakeDueByte(int64_t now, uint8_t* b, int64_t* due);
int64_t NextInputDue();   // when to take queued bytes next; -1: none queued
int64_t NextQueuedDue();  // arrival of the oldest queued byte; -1: none
void QueueReply(const uint8_t* bytes, int n, int64_t notBefore);
void DiscardPendingOutput();
void SendDueOutput(int64_t now);
int64_t NextOutputDue();  // -1 when nothing waits for its time
bool OutputBlocked();     // the peer's queue is full: wait for POLLOUT
struct pollfd;
// Fills up to 2 entries for ppoll; returns their count.
int LinePollFds(struct pollfd* fds, bool wantOutput);

// device.cpp: frame parser and replies.
void ResetDevice();
void PeerClosed();  // an exchange never goes on across a close
void ConsumeDueInput(int64_t now);
void CheckSilence(int64_t now);
int64_t SilenceDeadline();  // -1 when no frame is partly received

// memory.cpp: the 1 MiB block memory, optionally backed by an image file.
int OpenMemory(const std::string& path);  // 0 ok, -1 failed
int ReadMemoryBlock(int block, uint8_t* out);
int WriteMemoryBlock(int block, const uint8_t* data);
void CloseMemory();

// faults.cpp: faults injected on request.
enum FaultKind {
    FaultNakCommand,    // --nak-command BLOCK
    FaultStatusByte,    // --status-byte BLOCK:0xNN
    FaultNakBlock,      // --nak-block BLOCK
    FaultBlockStatus,   // --block-status BLOCK:0xNN
    FaultBadChecksum,   // --bad-checksum BLOCK[:0xSS]
    FaultShortFrame,    // --short-frame BLOCK[:N]
    FaultNoise,         // --noise BLOCK[:0xNN]
    FaultStoreChanged,  // --store-changed BLOCK[:0xNN]
    FaultLateAnswer,    // --late-answer BLOCK[:MS]
};
struct FaultRule {
    int kind;
    int block;
    int value;
};
struct FaultSetup {
    std::vector<FaultRule> rules;
    bool identNak = false;
    bool identSilent = false;
    int identChecksum = -1;     // sum the corrupted ident reply adds up to
    int identStatus = -1;       // byte 5 instead of ACK
    long identFaultsAfter = 0;  // ident faults spare this many requests
    long silentAfter = -1;
    long hangupAfter = -1;
    // --noise-rate R --seed S: a share R of the frames of block exchanges
    // meets a random fault of the line, the same ones for the same seed.
    double noiseRate = 0;
    unsigned long seed = 1;
    // --pause-every N:MS: after every N answers, MS ms without any.
    long pauseEvery = 0;
    long pauseMs = 0;
    // Instead of a controller, a line that is no controller (other_line.cpp).
    int otherLine = 0;      // OtherLine
    long otherBaud = 9600;  // --wrong-speed=BAUD
};
enum OtherLine {
    NoOtherLine = 0,
    LineEcho,        // --echo: every byte comes back, as through a loopback plug
    LineGarbage,     // --garbage: each byte answered with bytes of no protocol
    LineWrongSpeed,  // --wrong-speed[=BAUD]: the controller's answer sent at BAUD
};
extern FaultSetup Faults;

// 0 taken, 1 not a fault option, 2 needs a value (call again with the next
// argument), -2 bad value (reason on stderr). value: null when none was given.
int ParseFaultOption(const std::string& name, const char* value);
const FaultRule* FindFault(int kind, int block);
bool IdentFaultsActive(long identNumber);
int ParseNumber(const char* text, long low, long high, long* out);

// other_line.cpp: true when the line is not a controller and has dealt with b.
bool TakeByteAsOtherLine(uint8_t b, int64_t due);
// What a receiver at 38400 8N1 samples when bytes are sent at baud: one byte
// for each start bit it sees, and how many of them lacked their stop bit.
std::vector<uint8_t> SampledAt38400(const std::vector<uint8_t>& sent, long baud,
                                    int* framingFaults);

// noise.cpp: the answers of block exchanges go out through here, where the
// noise and the pauses asked for meet them. what and block name the frame in
// the event lines.
void SetupNoise();
void QueueAnswer(const uint8_t* bytes, int n, int64_t notBefore, const char* what, int block);

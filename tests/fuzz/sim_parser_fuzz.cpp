// The simulator's frame parser (tools/dm730sim/device.cpp) fed arbitrary bytes
// at arbitrary moments, with its line replaced by a queue: it never crashes,
// every answer it gives is a well-formed one, and a block changes in its
// memory only with a balanced data frame the PC really sent.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "fuzz_checks.h"
#include "sim.h"

SimOptions Options;

namespace {

struct Byte {
    uint8_t value;
    int64_t due;
};
std::deque<Byte> Incoming;
std::vector<uint8_t> Sent;  // every byte the PC sent, in order
bool Up = true;

}  // namespace

// The line, as device.cpp sees it.
bool IsLineUp() { return Up; }
void CloseLine(bool) { Up = false; }
void DiscardPendingOutput() {}
void Report(const char*, ...) {}
int64_t NextQueuedDue() { return Incoming.empty() ? -1 : Incoming.front().due; }
bool TakeDueByte(int64_t now, uint8_t* b, int64_t* due) {
    if (Incoming.empty() || Incoming.front().due > now) return false;
    *b = Incoming.front().value;
    *due = Incoming.front().due;
    Incoming.pop_front();
    return true;
}

// The memory, as device.cpp sees it: every block reads as zeros, and every
// write must carry a balanced frame the PC sent.
int OpenMemory(const std::string&) { return 0; }
void CloseMemory() {}
int ReadMemoryBlock(int block, uint8_t* out) {
    if (block < 0 || block >= BlockCount) return -1;
    std::memset(out, 0, BlockSize);
    return 0;
}
int WriteMemoryBlock(int block, const uint8_t* data) {
    Require(block >= 0 && block < BlockCount, "a stored block lies in the memory");
    bool found = false;
    for (size_t at = 0; !found && at + FrameSize <= Sent.size(); ++at)
        found = std::memcmp(&Sent[at], data, BlockSize) == 0 && Sum(&Sent[at], FrameSize) == 0;
    Require(found, "a stored block came as a balanced frame");
    return 0;
}

// Without faults every answer is an ACK or NAK byte, an identification
// reply, or a balanced data frame.
void QueueReply(const uint8_t* bytes, int n, int64_t) {
    if (n == 1) {
        Require(bytes[0] == ACK || bytes[0] == NAK, "a 1-byte answer is ACK or NAK");
    } else if (n == IdentSize) {
        Require(bytes[5] == ACK && Sum(bytes, 5) == 0, "a balanced identification reply");
    } else {
        Require(n == FrameSize && Sum(bytes, FrameSize) == 0, "a balanced data frame");
    }
}

// The noise of the line is the line's, replaced here too: the answers of
// block exchanges go out as they are.
void QueueAnswer(const uint8_t* bytes, int n, int64_t notBefore, const char*, int) {
    QueueReply(bytes, n, notBefore);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetDevice();
    Incoming.clear();
    Sent.clear();
    Up = true;
    // Pairs of (gap, byte): the gap before the byte in milliseconds, so that
    // frames are cut by silence as well; an odd gap lets the parser run.
    int64_t now = 0;
    for (size_t i = 0; i + 1 < size && Up; i += 2) {
        now += int64_t(data[i] & 0x7F) * 1000000LL * (data[i] & 0x80 ? 3 : 1);
        Incoming.push_back(Byte{data[i + 1], now});
        Sent.push_back(data[i + 1]);
        if (data[i] & 1) {
            ConsumeDueInput(now);
            CheckSilence(now);
        }
    }
    ConsumeDueInput(now);
    CheckSilence(now + 1000000000LL);
    return 0;
}

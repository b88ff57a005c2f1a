// The controller's side of the exchange: collects the PC's frames byte by
// byte, checks them and queues the answers.
#include "sim.h"

#include <cstring>
#include <set>

namespace {

enum ParserState {
    AwaitFrame,    // an identification request or the first byte of a command
    InCommand,     // bytes 1..3 of a block command
    InBlockFrame,  // the data frame that follows an accepted write command
};

struct DeviceState {
    int state = AwaitFrame;
    uint8_t frame[FrameSize];
    int count = 0;
    int64_t lastByteDue = 0;
    int block = 0;  // block of the accepted write command
    long identRequests = 0;
    long blocksDone = 0;  // blocks stored or sent without a fault
    bool silent = false;
    std::set<int> lateAnswered;  // blocks whose --late-answer has come
};

DeviceState Device;

uint8_t SumOf(const uint8_t* bytes, int n) {
    unsigned s = 0;
    for (int i = 0; i < n; ++i) s += bytes[i];
    return (uint8_t)s;
}

void ReplyByte(uint8_t b, int64_t notBefore) { QueueReply(&b, 1, notBefore); }

}  // namespace

void ResetDevice() { Device = DeviceState(); }

namespace {

void AnswerIdent(int64_t due) {
    ++Device.identRequests;
    if (Device.silent) {
        Report("fault silent ident");
        return;
    }
    DiscardPendingOutput();
    int64_t at = due + Options.turnaroundNs;
    uint8_t reply[IdentSize];
    memcpy(reply, Options.versions, 4);
    reply[4] = (uint8_t)(0 - SumOf(reply, 4));
    reply[5] = ACK;
    if (!IdentFaultsActive(Device.identRequests)) {
        Report("ident");
        QueueReply(reply, IdentSize, at);
        return;
    }
    if (Faults.identSilent) {
        Report("fault ident-silent");
        return;
    }
    bool faulted = false;
    if (Faults.identChecksum >= 0) {
        reply[4] = (uint8_t)(reply[4] + Faults.identChecksum);
        Report("fault ident-checksum 0x%02x", Faults.identChecksum);
        faulted = true;
    }
    if (Faults.identNak) {
        reply[5] = NAK;
        Report("fault ident-nak");
        faulted = true;
    } else if (Faults.identStatus >= 0) {
        reply[5] = (uint8_t)Faults.identStatus;
        Report("fault ident-status 0x%02x", Faults.identStatus);
        faulted = true;
    }
    if (!faulted) Report("ident");
    QueueReply(reply, IdentSize, at);
}

void SendBlock(int block, int64_t at) {
    uint8_t frame[FrameSize];
    if (ReadMemoryBlock(block, frame) != 0) {
        Report("nak memory-read %d", block);
        ReplyByte(NAK, at);
        return;
    }
    frame[BlockSize] = (uint8_t)(0 - SumOf(frame, BlockSize));
    uint8_t ack = ACK;
    QueueAnswer(&ack, 1, at, "command", block);
    if (const FaultRule* f = FindFault(FaultBadChecksum, block)) {
        frame[BlockSize] = (uint8_t)(frame[BlockSize] + f->value);
        Report("fault bad-checksum %d 0x%02x", block, f->value);
        QueueReply(frame, FrameSize, at);
        return;
    }
    if (const FaultRule* f = FindFault(FaultShortFrame, block)) {
        Report("fault short-frame %d %d", block, f->value);
        QueueReply(frame, f->value, at);
        return;
    }
    Report("block-out %d", block);
    QueueAnswer(frame, FrameSize, at, "block-out", block);
    ++Device.blocksDone;
}

void HandleCommand(int64_t due) {
    Device.state = AwaitFrame;
    const uint8_t* c = Device.frame;
    int op = c[0];
    int block = c[1] | (c[2] << 8);
    const char* opName = op == OpWriteBlock ? "write" : op == OpReadBlock ? "read" : "unknown";
    int64_t at = due + Options.turnaroundNs;
    if (Device.silent) {
        Report("fault silent command %s %d", opName, block);
        return;
    }
    uint8_t sum = SumOf(c, CommandSize);
    if (sum != 0) {
        Report("nak command-checksum 0x%02x", sum);
        ReplyByte(NAK, at);
        return;
    }
    if (op != OpWriteBlock && op != OpReadBlock) {
        Report("nak command-op 0x%02x", op);
        ReplyByte(NAK, at);
        return;
    }
    if (block >= BlockCount) {
        Report("nak command-block %s %d", opName, block);
        ReplyByte(NAK, at);
        return;
    }
    // Noise is the line's, not an answer: it comes at once, before the turnaround.
    if (const FaultRule* f = FindFault(FaultNoise, block)) {
        Report("fault noise %d 0x%02x", block, f->value);
        ReplyByte((uint8_t)f->value, due);
    }
    if (Faults.hangupAfter >= 0 && Device.blocksDone >= Faults.hangupAfter) {
        Report("fault hangup command %s %d", opName, block);
        CloseLine(true);
        return;
    }
    if (Faults.silentAfter >= 0 && Device.blocksDone >= Faults.silentAfter) {
        Device.silent = true;
        Report("fault silent command %s %d", opName, block);
        return;
    }
    if (FindFault(FaultNakCommand, block)) {
        Report("fault nak-command %s %d", opName, block);
        ReplyByte(NAK, at);
        return;
    }
    if (const FaultRule* f = FindFault(FaultStatusByte, block)) {
        Report("fault status-byte %s %d 0x%02x", opName, block, f->value);
        ReplyByte((uint8_t)f->value, at);
        return;
    }
    // Late once: the PC that asks again gets its answer in time.
    const FaultRule* late = FindFault(FaultLateAnswer, block);
    if (late != nullptr && Device.lateAnswered.insert(block).second) {
        Report("fault late-answer %s %d %d", opName, block, late->value);
        at += int64_t(late->value) * 1000000;
    }
    Report("command %s %d ack", opName, block);
    if (op == OpReadBlock) {
        SendBlock(block, at);
        return;
    }
    uint8_t ack = ACK;
    QueueAnswer(&ack, 1, at, "command", block);
    Device.state = InBlockFrame;
    Device.count = 0;
    Device.block = block;
}

void HandleBlockFrame(int64_t due) {
    Device.state = AwaitFrame;
    int block = Device.block;
    int64_t at = due + Options.turnaroundNs;
    uint8_t sum = SumOf(Device.frame, FrameSize);
    if (sum != 0) {
        Report("nak block-checksum %d 0x%02x", block, sum);
        ReplyByte(NAK, at);
        return;
    }
    if (FindFault(FaultNakBlock, block)) {
        Report("fault nak-block %d", block);
        ReplyByte(NAK, at);
        return;
    }
    if (const FaultRule* f = FindFault(FaultBlockStatus, block)) {
        Report("fault block-status %d 0x%02x", block, f->value);
        ReplyByte((uint8_t)f->value, at);
        return;
    }
    // A controller that acknowledges a block and keeps something else: only a
    // read-back can tell.
    const FaultRule* change = FindFault(FaultStoreChanged, block);
    uint8_t stored[BlockSize];
    memcpy(stored, Device.frame, BlockSize);
    if (change != nullptr) stored[0] ^= (uint8_t)change->value;
    // Stored before the event line, so the image matches once a test sees it.
    if (WriteMemoryBlock(block, stored) != 0) {
        Report("nak memory-write %d", block);
        ReplyByte(NAK, at);
        return;
    }
    if (change != nullptr)
        Report("fault store-changed %d 0x%02x", block, change->value);
    else
        Report("block-in %d ack", block);
    uint8_t ack = ACK;
    QueueAnswer(&ack, 1, at, "block-in", block);
    ++Device.blocksDone;
}

void DropPartialFrame(int64_t now);

void TakeByte(uint8_t b, int64_t due) {
    if (TakeByteAsOtherLine(b, due)) return;
    // Bytes are taken in batches: the silence before this one counts as well.
    if (SilenceDeadline() >= 0 && due > SilenceDeadline()) DropPartialFrame(due);
    Device.lastByteDue = due;
    switch (Device.state) {
    case AwaitFrame:
        if (b == ESC) {
            AnswerIdent(due);
            return;
        }
        Device.frame[0] = b;
        Device.count = 1;
        Device.state = InCommand;
        return;
    case InCommand:
        Device.frame[Device.count++] = b;
        if (Device.count == CommandSize) HandleCommand(due);
        return;
    case InBlockFrame:
        Device.frame[Device.count++] = b;
        if (Device.count == FrameSize) HandleBlockFrame(due);
        return;
    }
}

}  // namespace

void ConsumeDueInput(int64_t now) {
    uint8_t b;
    int64_t due;
    while (IsLineUp() && TakeDueByte(now, &b, &due)) TakeByte(b, due);
}

// Deadline for the frame in progress. A write command's data frame that has
// not begun yet has none: the PC sends it as soon as it has read the ACK.
int64_t SilenceDeadline() {
    if (Device.state == AwaitFrame || Device.count == 0) return -1;
    return Device.lastByteDue + FrameSilenceNs;
}

void PeerClosed() {
    if (Device.state == AwaitFrame) return;
    Report("drop %s %d", Device.state == InCommand ? "command" : "block-in", Device.count);
    Device.state = AwaitFrame;
    Device.count = 0;
}

void CheckSilence(int64_t now) {
    int64_t deadline = SilenceDeadline();
    if (deadline < 0 || now <= deadline) return;
    // Bytes still queued that arrived within the limit keep the frame together.
    int64_t next = NextQueuedDue();
    if (next >= 0 && next <= deadline) return;
    DropPartialFrame(now);
}

namespace {

void DropPartialFrame(int64_t now) {
    const char* what = Device.state == InCommand ? "command" : "block-in";
    bool loneEsc = Device.state == InBlockFrame && Device.count == 1 && Device.frame[0] == ESC;
    Report("drop %s %d", what, Device.count);
    Device.state = AwaitFrame;
    Device.count = 0;
    // The PC abandoned a write after the command's ACK and opened a new
    // exchange: its ESC was taken for the first data byte. Answer it late
    // rather than never; the reply still fits the PC's 720 ms.
    if (loneEsc) AnswerIdent(now);
}

}  // namespace

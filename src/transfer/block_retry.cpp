// A block whose exchange failed on the line, tried again: the line must fall
// silent (a late answer to the failed exchange has come by then), the
// controller answer the identification request with the versions the
// transfer began with, and the block's command goes again. Writing a block
// again puts the same bytes at the same address, so a retry never changes
// what ends up in the controller.
#include <cstring>

#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/serial_channel.h"
#include "transfer/transfer_internal.h"

namespace {

// How long the line must have been silent before the identification goes
// out: a late answer to the failed exchange has come by then.
const unsigned QuietMs = 300;
// The port ends a read that gets nothing after 120 ms a byte requested, and
// one that got bytes 100 ms after the last of them.
const unsigned ReadMsPerByte = 120;
const unsigned SilenceEndingReadMs = 100;
// A line that goes on talking for this many bytes (late answers to the failed
// exchange are a data frame at most) does not fall silent.
const unsigned long QuietByteLimit = 4 * DataFrameSize;

// The four version bytes of the identification reply the transfer began with.
uint8_t identified[4];
unsigned long bytesHeard = 0;
unsigned listeningFor = 0;  // bytes the listening read asked for

// silentMs: the silence the line has shown already, since its last byte. A
// read that ends empty after the rest of the 300 ms has heard them all.
void ListenForSilence(unsigned silentMs) {
    // Whatever is on its way in or out belongs to the failed exchange.
    PurgeChannel();
    unsigned rest = silentMs < QuietMs ? QuietMs - silentMs : 0;
    listeningFor = (rest + ReadMsPerByte - 1) / ReadMsPerByte;
    StartRead(listeningFor);
    TransferJob.phase = PhaseRetryQuiet;
}

// The exchanges of a block and of its retry: a failure before the first
// block (the transfer's own identification) or after it is not the block's.
bool IsInBlockExchange(int phase) {
    return phase == PhaseCommandAck || phase == PhaseBlockAck || phase == PhaseBlockReceive ||
           phase >= PhaseRetryQuiet;
}

// The controller said no: to the block command or to the identification.
// Only a NAK of our data frame is a fault of the line (a frame that arrived
// damaged), and worth another try.
bool IsRefusal(ReplyCheck failed, int phase) {
    return (failed.outcome == ReplyRefused && phase != PhaseBlockAck) ||
           failed.outcome == ReplyOtherVersions;
}

}  // namespace

void RememberIdentReply() { std::memcpy(identified, IoBuffer.frameArea, sizeof identified); }

bool BeginBlockRetry(ReplyCheck failed) {
    int phase = TransferJob.phase;
    if (!IsInBlockExchange(phase) || IsRefusal(failed, phase)) return false;
    if (TransferJob.retriesOfBlock >= TransferJob.blockRetries) return false;
    if (TransferJob.retriesOfBlock == 0) ++TransferJob.blocksRetried;
    ++TransferJob.retriesOfBlock;
    bytesHeard = 0;
    PositionFileAtBlock();
    // A reply that fell short ended by the port's silence; any other failure
    // was seen as its bytes came.
    ListenForSilence(failed.outcome == ReplyMissingData ? SilenceEndingReadMs : 0);
    return true;
}

void StepRetryQuiet(unsigned long count) {
    if (count == 0) {
        BuildIdentRequest();
        StartWrite(IdentRequestSize);
        TransferJob.phase = PhaseRetryEscSent;
        return;
    }
    // Bytes came: the read that heard them ended with a silence after them,
    // unless it ended because they filled it.
    bytesHeard += count;
    if (bytesHeard <= QuietByteLimit) {
        ListenForSilence(count < listeningFor ? SilenceEndingReadMs : 0);
        return;
    }
    // Another retry would meet the same line.
    FailOnLine(StageTransfer, ReplyCheck{ReplySurplusData, 0}, CloseTransferFile);
}

void StepRetryEscSent(unsigned long) {
    StartRead(IdentReplySize);
    TransferJob.phase = PhaseRetryIdent;
}

void StepRetryIdent(unsigned long count) {
    ReplyCheck check = CheckIdentReply(count);
    if (check.outcome == ReplyValid &&
        std::memcmp(identified, IoBuffer.frameArea, sizeof identified) != 0)
        check = ReplyCheck{ReplyOtherVersions, 0};
    if (check.outcome == ReplyValid && CountWaitingBytes() > 0)
        check = ReplyCheck{ReplySurplusData, 0};
    if (check.outcome != ReplyValid) {
        FailReply(StageIdentification, check, CloseTransferFile);
        return;
    }
    TransferJob.phase = PhaseSendCommand;
}

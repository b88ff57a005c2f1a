#include <cstdio>

#include "operator/operator.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/serial_channel.h"
#include "transfer/transfer.h"

static const char OverlappedFailurePrefix[] = "Kod błędu : ";
const char IdentFailurePrefix[] = "Błąd inicjacji : ";
static const char CommandFailurePrefix[] = "Błąd potwierdzenia : ";
static const char TransferFailurePrefix[] = "Błąd przesyłania : ";
const char FileReadFailureText[] = "Błąd odczytu pliku !";
const char FileWriteFailureText[] = "Błąd zapisu pliku !";
static const char FileTooLongText[] = "Plik dłuższy niż obszar pamięci !";

// Which stream a failure releases.
enum FileToClose { CloseTransferFile, CloseInputFile, CloseOutputFile };

static void CloseFile(int which) {
    if (which == CloseTransferFile)
        which = TransferJob.action == ActionReadFromDevice ? CloseOutputFile : CloseInputFile;
    if (which == CloseOutputFile)
        TransferJob.outputFile.close();
    else
        TransferJob.inputFile.close();
}

// The box first: the phase the operator sees behind it is the one that failed.
static void FailTransfer(const char* text, int file) {
    ShowMessageBox(text, CaptionFailure, BoxOk | BoxIconError);
    TransferJob.phase = PhaseIdle;
    CloseFile(file);
}

static void FailReply(const char* prefix, ReplyCheck check, int file) {
    char text[39];
    FormatReplyFailure(text, sizeof text, prefix, check);
    FailTransfer(text, file);
}

enum AwaitOutcome { AwaitPending, AwaitFailed, AwaitDone };

// Polls the record of the phase; a failure is reported and ends the transfer.
static int AwaitRecord(int record, unsigned long* count, int file) {
    unsigned long value = 0;
    int outcome = Poll(record, &value);
    if (outcome == PollPending) return AwaitPending;
    if (outcome != PollDone) {
        char text[39];
        std::snprintf(text, sizeof text, "%s%lu", OverlappedFailurePrefix, value);
        FailTransfer(text, file);
        return AwaitFailed;
    }
    *count = value;
    return AwaitDone;
}

// A reply is complete, yet more bytes wait behind it: something else answered
// in between (noise, a late reply), and from here on every reply would be
// taken for the one before. The transfer fails rather than going on out of
// step with the device. The phase's own prefix does not apply: whatever phase
// finds it, the fault lies in the transfer as a whole.
static bool FailIfSurplus(int file) {
    if (CountWaitingBytes() == 0) return false;
    FailReply(TransferFailurePrefix, ReplyCheck{ReplySurplusData, 0}, file);
    return true;
}

// The last block's reply has been taken. A reply that is still to come (a NAK
// behind an ACK that was not its own) would show the transfer out of step, so
// phase 9 listens for one reply time before it declares the transfer done.
static void EnterBlockDone() {
    TransferJob.phase = PhaseBlockDone;
    if (TransferJob.blocksLeft == 1) StartRead(1);
}

// Each Step* returns false when its operation is still pending (nothing
// changed), true when the step ran, whatever its outcome.

static bool StepEscapeSent() {
    unsigned long count;
    int polled = AwaitRecord(WriteRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    StartRead(6);
    TransferJob.phase = PhaseIdentReply;
    return true;
}

static bool StepIdentReply() {
    unsigned long count;
    int polled = AwaitRecord(ReadRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    TransferJob.lastChecksum = SumBytes(IoBuffer.frameArea, 5);
    ReplyCheck check = CheckIdentReply(count);
    if (check.outcome != ReplyValid) {
        FailReply(IdentFailurePrefix, check, CloseTransferFile);
        return true;
    }
    if (FailIfSurplus(CloseTransferFile)) return true;
    if (TransferJob.action == ActionReadFromDevice && CutTargetFile() != BlockFileDone) {
        FailTransfer(FileWriteFailureText, CloseOutputFile);
        return true;
    }
    TransferJob.phase = PhaseSendCommand;
    RepaintWindow();
    return true;
}

static bool StepSendCommand() {
    BuildBlockCommand(TransferJob.action, TransferJob.nextBlock);
    StartWrite(4);
    TransferJob.phase = PhaseCommandSent;
    return true;
}

static bool StepCommandSent() {
    unsigned long count;
    int polled = AwaitRecord(WriteRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    StartRead(1);
    TransferJob.phase = PhaseCommandAck;
    return true;
}

static bool StepCommandAck() {
    unsigned long count;
    int polled = AwaitRecord(ReadRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    ReplyCheck check = CheckByteReply(count);
    if (check.outcome != ReplyValid) {
        FailReply(CommandFailurePrefix, check, CloseTransferFile);
        return true;
    }
    // Reading, the data frame follows the reply at once; writing, the device
    // waits for ours and nothing else may have come.
    if (TransferJob.action != ActionWriteToDevice) {
        StartRead(257);
        TransferJob.phase = PhaseBlockReceive;
        return true;
    }
    if (FailIfSurplus(CloseTransferFile)) return true;
    bool endOfFile;
    if (ReadFileBlock(IoBuffer.frameArea, &endOfFile) != BlockFileDone) {
        FailTransfer(FileReadFailureText, CloseInputFile);
        return true;
    }
    // The short block is the last one sent, wherever the region ends.
    if (endOfFile) TransferJob.blocksLeft = 1;
    TransferJob.lastChecksum = SealDataFrame();
    StartWrite(257);
    TransferJob.phase = PhaseBlockSent;
    return true;
}

static bool StepBlockSent() {
    unsigned long count;
    int polled = AwaitRecord(WriteRecord, &count, CloseInputFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    StartRead(1);
    TransferJob.phase = PhaseBlockAck;
    return true;
}

static bool StepBlockAck() {
    unsigned long count;
    int polled = AwaitRecord(ReadRecord, &count, CloseInputFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    ReplyCheck check = CheckByteReply(count);
    if (check.outcome != ReplyValid) {
        FailReply(TransferFailurePrefix, check, CloseInputFile);
        return true;
    }
    if (FailIfSurplus(CloseInputFile)) return true;
    EnterBlockDone();
    return true;
}

static void CompareWithFile() {
    uint8_t fileBlock[256];
    bool endOfFile;
    if (ReadFileBlock(fileBlock, &endOfFile) != BlockFileDone) {
        FailTransfer(FileReadFailureText, CloseInputFile);
        return;
    }
    if (VerifyBlock(fileBlock) != BlockCompared) return;
    if (TransferJob.inputFile.eof()) {
        TransferJob.phase = PhaseIdle;
        TransferJob.inputFile.close();
        return;
    }
    EnterBlockDone();
}

static bool StepBlockReceive() {
    unsigned long count;
    int polled = AwaitRecord(ReadRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    TransferJob.lastChecksum = SumBytes(IoBuffer.frameArea, 257);
    ReplyCheck check = CheckDataFrame(count);
    if (check.outcome != ReplyValid) {
        char text[49];
        FormatReplyFailure(text, sizeof text, TransferFailurePrefix, check);
        FailTransfer(text, CloseTransferFile);
        return true;
    }
    if (FailIfSurplus(CloseTransferFile)) return true;
    if (TransferJob.action == ActionVerify) {
        CompareWithFile();
        return true;
    }
    if (WriteFileBlock() != BlockFileDone) {
        FailTransfer(FileWriteFailureText, CloseOutputFile);
        return true;
    }
    EnterBlockDone();
    return true;
}

// The region is full while the file to send or compare goes on: the rest of
// the file is not in the device, and the operator must not take the transfer
// for a complete one.
static void WarnIfFileGoesOn() {
    std::ifstream& file = TransferJob.inputFile;
    if (!file.is_open() || file.peek() == std::ifstream::traits_type::eof()) return;
    ShowMessageBox(FileTooLongText, CaptionWarning, BoxOk | BoxIconWarning);
}

// The last block: the read EnterBlockDone started must end with nothing.
static int AwaitSilence() {
    unsigned long count;
    int polled = AwaitRecord(ReadRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled;
    if (count == 0) return AwaitDone;
    FailReply(TransferFailurePrefix, ReplyCheck{ReplySurplusData, 0}, CloseTransferFile);
    return AwaitFailed;
}

static bool StepBlockDone() {
    if (TransferJob.blocksLeft == 1) {
        int heard = AwaitSilence();
        if (heard == AwaitPending) return false;
        if (heard == AwaitFailed) {
            RepaintProgress();
            return true;
        }
    }
    ++TransferJob.nextBlock;
    --TransferJob.blocksLeft;
    if (TransferJob.blocksLeft == 0) {
        if (TransferJob.action != ActionReadFromDevice) WarnIfFileGoesOn();
        TransferJob.phase = PhaseIdle;
        CloseFile(CloseTransferFile);
    } else {
        TransferJob.phase = PhaseSendCommand;
    }
    RepaintProgress();
    return true;
}

// Set by every step: the main loop sleeps until the line moves only after a
// step that found its operation still on the line.
static bool lastStepPending = false;

bool StepFoundPending() { return lastStepPending; }

void StepTransfer(unsigned p) {
    lastStepPending = false;
    // A pump message carries the phase that was current when it was posted. A
    // modal loop (the file dialog of a new start, a message box) can hand it on
    // after a command has stopped or restarted the transfer; stepping the old
    // phase then would move the new transfer: phase 9 skips its first block, 3
    // sends a command before the identification request. Only the phase the
    // transfer stands in is stepped.
    if (p != unsigned(TransferJob.phase)) return;
    bool ran = false;
    switch (p) {
    case PhaseEscapeSent: ran = StepEscapeSent(); break;
    case PhaseIdentReply: ran = StepIdentReply(); break;
    case PhaseSendCommand: ran = StepSendCommand(); break;
    case PhaseCommandSent: ran = StepCommandSent(); break;
    case PhaseCommandAck: ran = StepCommandAck(); break;
    case PhaseBlockSent: ran = StepBlockSent(); break;
    case PhaseBlockAck: ran = StepBlockAck(); break;
    case PhaseBlockReceive: ran = StepBlockReceive(); break;
    case PhaseBlockDone: ran = StepBlockDone(); break;
    default: return;
    }
    lastStepPending = !ran;
    if (!ran) return;
    // Lines 2 and 3 are shown only while a transfer runs: a transfer that
    // ended here, by failure or at the end of a verified file, takes them
    // along (phase 9 repaints them anyway).
    if (TransferJob.phase == PhaseIdle && p != PhaseBlockDone) RepaintProgress();
    RepaintPhase();
}

void StopTransfer() {
    TransferJob.phase = PhaseIdle;
    PurgeChannel();
    RepaintWindow();
}

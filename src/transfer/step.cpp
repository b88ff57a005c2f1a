#include <cstdio>

#include "operator/operator.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/serial_channel.h"
#include "transfer/transfer_internal.h"

const char IdentFailurePrefix[] = "Błąd inicjacji : ";
const char TransferFailurePrefix[] = "Błąd przesyłania : ";
const char FileReadFailureText[] = "Błąd odczytu pliku !";
const char FileWriteFailureText[] = "Błąd zapisu pliku !";

namespace {

const char OverlappedFailurePrefix[] = "Kod błędu : ";
const char CommandFailurePrefix[] = "Błąd potwierdzenia : ";
const char FileTooLongText[] = "Plik dłuższy niż obszar pamięci !";

void CloseFile(FileToClose which) {
    if (which == CloseTransferFile)
        which = TransferJob.action == ActionReadFromDevice ? CloseOutputFile : CloseInputFile;
    if (which == CloseOutputFile)
        CloseTargetFile();
    else
        CloseSourceFile();
}

// The box first: the phase the operator sees behind it is the one that failed.
void FailTransfer(const Failure& failure, const char* text, FileToClose file) {
    ReportFailure(failure, text, CaptionFailure, BoxOk | BoxIconError);
    TransferJob.phase = PhaseIdle;
    TransferJob.failure = failure.kind;
    CloseFile(file);
}

// The transfer's file failed at operation, in the phase that stands.
void FailFile(FileOperation operation, const char* text, FileToClose file) {
    FailTransfer(FileFailure(TransferJob.phase, operation, TransferFilePath(), FileSystemError()),
                 text, file);
}

}  // namespace

void FailReply(LineStage stage, ReplyCheck check, FileToClose file) {
    if (!BeginBlockRetry(check)) FailOnLine(stage, check, file);
}

void FailOnLine(LineStage stage, ReplyCheck check, FileToClose file) {
    const char* prefix = stage == StageIdentification ? IdentFailurePrefix
                         : stage == StageCommand      ? CommandFailurePrefix
                                                      : TransferFailurePrefix;
    // A received data frame's failure has room for a longer text.
    char text[49];
    FormatReplyFailure(text, TransferJob.phase == PhaseBlockReceive ? sizeof text : 39, prefix,
                       check);
    FailTransfer(LineFailure(TransferJob.phase, stage, check.outcome, check.detail), text, file);
}

namespace {

enum AwaitOutcome { AwaitDone = 0, AwaitPending, AwaitFailed };

// Polls the record of the phase; a failure is reported and ends the transfer.
AwaitOutcome AwaitRecord(ChannelRecord record, unsigned long* count, FileToClose file) {
    unsigned long value = 0;
    PollOutcome outcome = Poll(record, &value);
    if (outcome == PollPending) return AwaitPending;
    if (outcome != PollDone) {
        char text[39];
        std::snprintf(text, sizeof text, "%s%lu", OverlappedFailurePrefix, value);
        FailTransfer(LineFailure(TransferJob.phase, StageSystem, 0, 0, value), text, file);
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
void FailOutOfStep(FileToClose file) {
    FailReply(StageTransfer, ReplyCheck{ReplySurplusData, 0}, file);
}

bool FailIfSurplus(FileToClose file) {
    if (CountWaitingBytes() == 0) return false;
    FailOutOfStep(file);
    return true;
}

// The last block's reply has been taken. A reply that is still to come (a NAK
// behind an ACK that was not its own) would show the transfer out of step, so
// phase 9 listens for one reply time before it declares the transfer done.
void EnterBlockDone() {
    TransferJob.phase = PhaseBlockDone;
    if (TransferJob.blocksLeft == 1) StartRead(ByteReplySize);
}

// What each phase waits on before its own work: the record it polls, and the
// file a failed poll releases. Sending a command waits on nothing; a finished
// block waits only after the last block, for the reply that must not come.
const int NoRecord = -1;
struct PhaseWait {
    int record;  // a ChannelRecord, or NoRecord
    FileToClose fileOnFailure;
};
const PhaseWait PhaseWaits[LastTransferPhase + 1] = {
    {NoRecord, CloseTransferFile},     // PhaseIdle
    {WriteRecord, CloseTransferFile},  // PhaseEscapeSent
    {ReadRecord, CloseTransferFile},   // PhaseIdentReply
    {NoRecord, CloseTransferFile},     // PhaseSendCommand
    {WriteRecord, CloseTransferFile},  // PhaseCommandSent
    {ReadRecord, CloseTransferFile},   // PhaseCommandAck
    {WriteRecord, CloseInputFile},     // PhaseBlockSent
    {ReadRecord, CloseInputFile},      // PhaseBlockAck
    {ReadRecord, CloseTransferFile},   // PhaseBlockReceive
    {ReadRecord, CloseTransferFile},   // PhaseBlockDone, after the last block
    {ReadRecord, CloseTransferFile},   // PhaseRetryQuiet
    {WriteRecord, CloseTransferFile},  // PhaseRetryEscSent
    {ReadRecord, CloseTransferFile},   // PhaseRetryIdent
};

int RecordAwaited(unsigned p) {
    if (p == PhaseBlockDone && TransferJob.blocksLeft != 1) return NoRecord;
    return PhaseWaits[p].record;
}

// The work of each phase once its record is done; count is the bytes a read
// delivered.

void StepEscapeSent(unsigned long) {
    StartRead(IdentReplySize);
    TransferJob.phase = PhaseIdentReply;
}

void StepIdentReply(unsigned long count) {
    TransferJob.lastChecksum = SumBytes(IoBuffer.frameArea, IdentSummedSize);
    ReplyCheck check = CheckIdentReply(count);
    if (check.outcome != ReplyValid) {
        FailReply(StageIdentification, check, CloseTransferFile);
        return;
    }
    if (FailIfSurplus(CloseTransferFile)) return;
    TakeVersionTexts();
    RememberIdentReply();
    if (TransferJob.action == ActionReadFromDevice && CutTargetFile() != BlockFileDone) {
        FailFile(FileCut, FileWriteFailureText, CloseOutputFile);
        return;
    }
    TransferJob.phase = PhaseSendCommand;
    RepaintWindow();
}

void StepSendCommand(unsigned long) {
    BuildBlockCommand(TransferAction(TransferJob.action), TransferJob.nextBlock);
    StartWrite(CommandFrameSize);
    TransferJob.phase = PhaseCommandSent;
}

void StepCommandSent(unsigned long) {
    StartRead(ByteReplySize);
    TransferJob.phase = PhaseCommandAck;
}

void StepCommandAck(unsigned long count) {
    ReplyCheck check = CheckByteReply(count);
    if (check.outcome != ReplyValid) {
        FailReply(StageCommand, check, CloseTransferFile);
        return;
    }
    // Reading, the data frame follows the reply at once; writing, the device
    // waits for ours and nothing else may have come.
    if (TransferJob.action != ActionWriteToDevice) {
        StartRead(DataFrameSize);
        TransferJob.phase = PhaseBlockReceive;
        return;
    }
    if (FailIfSurplus(CloseTransferFile)) return;
    unsigned fileBytes = 0;
    if (ReadFileBlock(IoBuffer.frameArea, &fileBytes) != BlockFileDone) {
        FailFile(FileRead, FileReadFailureText, CloseInputFile);
        return;
    }
    // The short block is the last one sent, wherever the region ends.
    if (fileBytes < BlockSize) TransferJob.blocksLeft = 1;
    TransferJob.lastChecksum = SealDataFrame();
    StartWrite(DataFrameSize);
    TransferJob.blockFrameSent = true;
    TransferJob.phase = PhaseBlockSent;
}

void StepBlockSent(unsigned long) {
    StartRead(ByteReplySize);
    TransferJob.phase = PhaseBlockAck;
}

void StepBlockAck(unsigned long count) {
    ReplyCheck check = CheckByteReply(count);
    if (check.outcome != ReplyValid) {
        FailReply(StageTransfer, check, CloseInputFile);
        return;
    }
    if (FailIfSurplus(CloseInputFile)) return;
    EnterBlockDone();
}

void CompareWithFile() {
    uint8_t fileBlock[BlockSize];
    unsigned fileBytes = 0;
    if (ReadFileBlock(fileBlock, &fileBytes) != BlockFileDone) {
        FailFile(FileRead, FileReadFailureText, CloseInputFile);
        return;
    }
    if (VerifyBlock(fileBlock, fileBytes) != BlockCompared) return;
    if (SourceFile().eof()) {
        TransferJob.phase = PhaseIdle;
        CloseSourceFile();
        return;
    }
    EnterBlockDone();
}

void StepBlockReceive(unsigned long count) {
    TransferJob.lastChecksum = SumBytes(IoBuffer.frameArea, DataFrameSize);
    ReplyCheck check = CheckDataFrame(count);
    if (check.outcome != ReplyValid) {
        FailReply(StageTransfer, check, CloseTransferFile);
        return;
    }
    if (FailIfSurplus(CloseTransferFile)) return;
    if (TransferJob.action == ActionVerify) {
        CompareWithFile();
        return;
    }
    if (WriteFileBlock() != BlockFileDone) {
        FailFile(FileWrite, FileWriteFailureText, CloseOutputFile);
        return;
    }
    EnterBlockDone();
}

// The region is full while the file to send or compare goes on: the rest of
// the file is not in the device, and the operator must not take the transfer
// for a complete one.
void WarnIfFileGoesOn() {
    if (!IsSourceOpen()) return;
    std::istream& file = SourceFile();
    if (file.peek() == std::istream::traits_type::eof()) return;
    ReportFailure(FileFailure(TransferJob.phase, FileBeyondRegion, TransferFilePath(), 0),
                  FileTooLongText, CaptionWarning, BoxOk | BoxIconWarning);
}

void StepBlockDone(unsigned long count) {
    // After the last block the read EnterBlockDone started must end with nothing.
    if (TransferJob.blocksLeft == 1 && count != 0) {
        FailOutOfStep(CloseTransferFile);
        return;
    }
    ++TransferJob.nextBlock;
    --TransferJob.blocksLeft;
    TransferJob.retriesOfBlock = 0;
    TransferJob.blockFrameSent = false;
    if (TransferJob.blocksLeft == 0) {
        if (TransferJob.action != ActionReadFromDevice) WarnIfFileGoesOn();
        TransferJob.phase = PhaseIdle;
        CloseFile(CloseTransferFile);
    } else {
        TransferJob.phase = PhaseSendCommand;
    }
}

void (*const PhaseWork[LastTransferPhase + 1])(unsigned long) = {
    nullptr,        StepEscapeSent,   StepIdentReply, StepSendCommand,  StepCommandSent,
    StepCommandAck, StepBlockSent,    StepBlockAck,   StepBlockReceive, StepBlockDone,
    StepRetryQuiet, StepRetryEscSent, StepRetryIdent,
};

// Set by every step: the main loop sleeps until the line moves only after a
// step that found its operation still on the line.
bool lastStepPending = false;

}  // namespace

bool StepFoundPending() { return lastStepPending; }

void StepTransfer(unsigned p) {
    lastStepPending = false;
    // A pump message carries the phase that was current when it was posted. A
    // modal loop (the file dialog of a new start, a message box) can hand it on
    // after a command has stopped or restarted the transfer; stepping the old
    // phase then would move the new transfer: phase 9 skips its first block, 3
    // sends a command before the identification request. Only the phase the
    // transfer stands in is stepped.
    if (p != unsigned(TransferJob.phase) || p == PhaseIdle || p > LastTransferPhase) return;
    unsigned long count = 0;
    int record = RecordAwaited(p);
    if (record != NoRecord) {
        AwaitOutcome polled =
            AwaitRecord(ChannelRecord(record), &count, PhaseWaits[p].fileOnFailure);
        if (polled == AwaitPending) {
            lastStepPending = true;
            return;
        }
        if (polled == AwaitDone) PhaseWork[p](count);
    } else {
        PhaseWork[p](count);
    }
    // Lines 2 and 3 are shown only while a transfer runs: a transfer that
    // ended here, by failure or at the end of a verified file, takes them
    // along; a finished block asks for them anyway.
    if (TransferJob.phase == PhaseIdle || p == PhaseBlockDone) RepaintProgress();
    RepaintPhase();
}

void StopTransfer() {
    if (TransferJob.phase != PhaseIdle) TransferJob.failure = FailureStopped;
    TransferJob.phase = PhaseIdle;
    PurgeChannel();
    RepaintWindow();
}

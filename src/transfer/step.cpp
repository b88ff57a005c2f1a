#include <cstdio>

#include "app/screen.h"
#include "serial/serial_channel.h"
#include "transfer/protocol.h"
#include "transfer/transfer.h"

static const char OverlappedFailurePrefix[] = "Kod błędu : ";
static const char IdentFailurePrefix[] = "Błąd inicjacji : ";
static const char CommandFailurePrefix[] = "Błąd potwierdzenia : ";
static const char TransferFailurePrefix[] = "Błąd przesyłania : ";
static const char FileReadFailureText[] = "Błąd odczytu pliku !";
static const char FileWriteFailureText[] = "Błąd zapisu pliku !";
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

// Each Step* returns 0 when its operation is still pending (nothing changed),
// 1 when the step ran, whatever its outcome.

static int StepEscapeSent() {
    unsigned long count;
    int polled = AwaitRecord(WriteRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    StartRead(6);
    TransferJob.phase = PhaseIdentReply;
    return 1;
}

static int StepIdentReply() {
    unsigned long count;
    int polled = AwaitRecord(ReadRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    TransferJob.lastChecksum = SumBytes(IoBuffer.frameArea, 5);
    ReplyCheck check = CheckIdentReply(count);
    if (check.outcome != ReplyValid) {
        FailReply(IdentFailurePrefix, check, CloseTransferFile);
        return 1;
    }
    TransferJob.phase = PhaseSendCommand;
    RepaintWindow();
    return 1;
}

static int StepSendCommand() {
    BuildBlockCommand(TransferJob.action, TransferJob.nextBlock);
    StartWrite(4);
    TransferJob.phase = PhaseCommandSent;
    return 1;
}

static int StepCommandSent() {
    unsigned long count;
    int polled = AwaitRecord(WriteRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    StartRead(1);
    TransferJob.phase = PhaseCommandAck;
    return 1;
}

static int StepCommandAck() {
    unsigned long count;
    int polled = AwaitRecord(ReadRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    ReplyCheck check = CheckByteReply(count);
    if (check.outcome != ReplyValid) {
        FailReply(CommandFailurePrefix, check, CloseTransferFile);
        return 1;
    }
    if (TransferJob.action != ActionWriteToDevice) {
        StartRead(257);
        TransferJob.phase = PhaseBlockReceive;
        return 1;
    }
    bool endOfFile;
    if (ReadFileBlock(IoBuffer.frameArea, &endOfFile) != 0) {
        FailTransfer(FileReadFailureText, CloseInputFile);
        return 1;
    }
    // The short block is the last one sent, wherever the region ends.
    if (endOfFile) TransferJob.blocksLeft = 1;
    TransferJob.lastChecksum = SealDataFrame();
    StartWrite(257);
    TransferJob.phase = PhaseBlockSent;
    return 1;
}

static int StepBlockSent() {
    unsigned long count;
    int polled = AwaitRecord(WriteRecord, &count, CloseInputFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    StartRead(1);
    TransferJob.phase = PhaseBlockAck;
    return 1;
}

static int StepBlockAck() {
    unsigned long count;
    int polled = AwaitRecord(ReadRecord, &count, CloseInputFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    ReplyCheck check = CheckByteReply(count);
    if (check.outcome != ReplyValid) {
        FailReply(TransferFailurePrefix, check, CloseInputFile);
        return 1;
    }
    TransferJob.phase = PhaseBlockDone;
    return 1;
}

static void CompareWithFile() {
    uint8_t fileBlock[256];
    bool endOfFile;
    if (ReadFileBlock(fileBlock, &endOfFile) != 0) {
        FailTransfer(FileReadFailureText, CloseInputFile);
        return;
    }
    if (VerifyBlock(fileBlock) != 0) return;
    if (TransferJob.inputFile.eof()) {
        TransferJob.phase = PhaseIdle;
        TransferJob.inputFile.close();
        return;
    }
    TransferJob.phase = PhaseBlockDone;
}

static int StepBlockReceive() {
    unsigned long count;
    int polled = AwaitRecord(ReadRecord, &count, CloseTransferFile);
    if (polled != AwaitDone) return polled == AwaitFailed;
    TransferJob.lastChecksum = SumBytes(IoBuffer.frameArea, 257);
    ReplyCheck check = CheckDataFrame(count);
    if (check.outcome != ReplyValid) {
        char text[49];
        FormatReplyFailure(text, sizeof text, TransferFailurePrefix, check);
        FailTransfer(text, CloseTransferFile);
        return 1;
    }
    if (TransferJob.action == ActionVerify) {
        CompareWithFile();
        return 1;
    }
    if (WriteFileBlock() != 0) {
        FailTransfer(FileWriteFailureText, CloseOutputFile);
        return 1;
    }
    TransferJob.phase = PhaseBlockDone;
    return 1;
}

// The region is full while the file to send or compare goes on: the rest of
// the file is not in the device, and the operator must not take the transfer
// for a complete one.
static void WarnIfFileGoesOn() {
    std::ifstream& file = TransferJob.inputFile;
    if (!file.is_open() || file.peek() == std::ifstream::traits_type::eof()) return;
    ShowMessageBox(FileTooLongText, CaptionWarning, BoxOk | BoxIconWarning);
}

static int StepBlockDone() {
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
    return 1;
}

// Set by every step: the main loop sleeps until the line moves only after a
// step that found its operation still on the line.
static bool lastStepPending = false;

bool StepFoundPending() { return lastStepPending; }

void StepTransfer(unsigned p) {
    int ran = 0;
    lastStepPending = false;
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

#include "cli/console/operator_console.h"

#include <string>

#include "cli/console/console_output.h"
#include "cli/console/json_events.h"
#include "cli/console/progress.h"
#include "cli/console/transfer_texts.h"
#include "operator/operator.h"
#include "protocol/regions.h"
#include "transfer/transfer.h"

ConsoleRecord ConsoleReport = {0, 0, false, 0, true};

namespace {

void PrintContext(const Failure& failure) {
    // The core's files are C streams: their reason is an errno on every system.
    if (failure.kind == FailureFile && failure.path != nullptr && failure.path[0] != '\0')
        ShowFileReason(failure.path, int(failure.systemError));
    if (failure.kind == FailureLine && failure.phase > 0 &&
        failure.phase <= int(LastTransferPhase)) {
        unsigned long block = (unsigned long)(TransferJob.nextBlock - TransferJob.firstBlock) + 1;
        std::string retried;
        if (TransferJob.retriesOfBlock == 1) retried = Say(MsgRetriedOnce);
        if (TransferJob.retriesOfBlock > 1)
            retried = SayFormatted(MsgRetriedTimes, long(TransferJob.retriesOfBlock));
        PrintMessage(ConsoleError, MsgFailureContext, block,
                     LookUpRegion(DataKind(TransferJob.kind)).blockCount, failure.phase,
                     PhaseWork(failure.phase), retried.c_str());
    }
}

}  // namespace

void ResetConsoleReport(unsigned long maxDifferences) {
    ConsoleReport = ConsoleRecord{0, maxDifferences, false, 0, true};
}

// The text alone: the caption and the icon belong to a box. Every failure and
// warning of the core comes through ReportFailure with its kind; what comes
// here is a question or a notice.
int ShowMessageBox(const char* text, const char*, unsigned style) {
    BreakProgressLine();
    PrintLine(ConsoleError, "%s", text);
    // Nothing is overwritten or thrown away on a question nobody can answer.
    return (style & BoxButtonsMask) == BoxYesNo ? AnswerNo : AnswerOk;
}

void ReportFailure(const Failure& failure, const char* coreText, const char*, unsigned) {
    std::string text = FailureText(failure, coreText);
    NoteFailureDetail(text);
    BreakProgressLine();
    PrintLine(ConsoleError, "%s", text.c_str());
    PrintContext(failure);
}

int AskAboutDifference(const VerifyDifference& difference, const char*) {
    if (difference.beyondFile && !ConsoleReport.fillWritten) {
        ++ConsoleReport.beyondFile;
        return AnswerYes;
    }
    ++ConsoleReport.differences;
    // Counted within the region, as the progress line counts.
    unsigned long block = (unsigned long)difference.block - TransferJob.firstBlock;
    unsigned blocks = LookUpRegion(DataKind(TransferJob.kind)).blockCount;
    // A program is told of every one.
    EventDifference(block, blocks, difference.position,
                    difference.beyondFile ? -1 : long(difference.fileOffset), difference.fileByte,
                    difference.deviceByte);
    if (!ConsoleReport.listing || ConsoleReport.differences > ConsoleReport.maxDifferences)
        return AnswerYes;
    BreakProgressLine();
    if (difference.beyondFile)
        PrintMessage(ConsoleOut, MsgDifferenceBeyond, block, blocks, difference.position,
                     difference.deviceByte);
    else
        PrintMessage(ConsoleOut, MsgDifference, block, blocks, difference.position,
                     difference.fileOffset, difference.fileByte, difference.deviceByte);
    return AnswerYes;
}

void RepaintWindow() {}
void RepaintProgress() { ShowProgress(); }
void RepaintPhase() { EventRetry(); }

void SetPortMark(int, bool) {}

void EnableRepeatItem() {}

// Files come from the command line only.
FileChoice ShowFileDialog(unsigned long, unsigned long*, unsigned*) { return FileNotChosen; }

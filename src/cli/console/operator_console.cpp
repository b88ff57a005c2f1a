#include "cli/console/operator_console.h"

#include "cli/console/console_output.h"
#include "cli/console/progress.h"
#include "operator/operator.h"
#include "protocol/regions.h"
#include "transfer/transfer.h"

ConsoleRecord ConsoleReport = {0, 0};

namespace {

// What each phase of a transfer does, for the context of a line failure.
const char* const PhaseWork[10] = {
    "",
    "zapytanie o wersję",
    "odpowiedź z wersją",
    "komenda",
    "wysłanie komendy",
    "potwierdzenie komendy",
    "wysłanie bloku",
    "potwierdzenie bloku",
    "odbiór bloku",
    "koniec obszaru",
};

void PrintContext(const Failure& failure) {
    // The core's files are C streams: their reason is an errno on every system.
    if (failure.kind == FailureFile && failure.path != nullptr && failure.path[0] != '\0')
        ShowFileReason(failure.path, int(failure.systemError));
    if (failure.kind == FailureLine && failure.phase > 0 && failure.phase < 10) {
        unsigned long block = (unsigned long)(TransferJob.nextBlock - TransferJob.firstBlock) + 1;
        PrintLine(ConsoleError, "  (blok %lu z %u, faza %d : %s)", block,
                  LookUpRegion(DataKind(TransferJob.kind)).blockCount, failure.phase,
                  PhaseWork[failure.phase]);
    }
}

}  // namespace

void ResetConsoleReport(unsigned long maxDifferences) {
    ConsoleReport = ConsoleRecord{0, maxDifferences};
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

void ReportFailure(const Failure& failure, const char* text, const char*, unsigned) {
    BreakProgressLine();
    PrintLine(ConsoleError, "%s", text);
    PrintContext(failure);
}

int AskAboutDifference(const VerifyDifference& difference, const char*) {
    ++ConsoleReport.differences;
    if (ConsoleReport.differences <= ConsoleReport.maxDifferences) {
        BreakProgressLine();
        // Counted within the region, as the progress line counts.
        PrintLine(ConsoleOut,
                  "Różnica : blok %lu z %u poz. %d (bajt %lu pliku) : plik %u, Dm730 %u",
                  (unsigned long)difference.block - TransferJob.firstBlock,
                  LookUpRegion(DataKind(TransferJob.kind)).blockCount, difference.position,
                  difference.fileOffset, difference.fileByte, difference.deviceByte);
    }
    return AnswerYes;
}

void RepaintWindow() {}
void RepaintProgress() { ShowProgress(); }
void RepaintPhase() {}

void SetPortMark(int, bool) {}

void EnableRepeatItem() {}

// Files come from the command line only.
FileChoice ShowFileDialog(unsigned long, unsigned long*, unsigned*) { return FileNotChosen; }

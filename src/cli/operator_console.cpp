#include "cli/operator_console.h"

#include "cli/console_output.h"
#include "cli/progress.h"
#include "operator/operator.h"

ConsoleRecord ConsoleReport = {FailureNone, 0, 0};

void ResetConsoleReport(unsigned long maxDifferences) {
    ConsoleReport = ConsoleRecord{FailureNone, 0, maxDifferences};
}

// The text alone: the caption and the icon belong to a box.
int ShowMessageBox(const char* text, const char*, unsigned style) {
    BreakProgressLine();
    PrintLine(ConsoleError, "%s", text);
    // Nothing is overwritten or thrown away on a question nobody can answer.
    return (style & BoxButtonsMask) == BoxYesNo ? AnswerNo : AnswerOk;
}

void ReportFailure(const Failure& failure, const char* text, const char* caption, unsigned style) {
    ShowMessageBox(text, caption, style);
    if (ConsoleReport.failure == FailureNone) ConsoleReport.failure = failure.kind;
}

int AskAboutDifference(const VerifyDifference& difference, const char*) {
    ++ConsoleReport.differences;
    if (ConsoleReport.differences <= ConsoleReport.maxDifferences) {
        BreakProgressLine();
        PrintLine(ConsoleOut, "Różnica : blok %u poz. %d (bajt %lu pliku) : plik %u, Dm730 %u",
                  difference.block, difference.position, difference.fileOffset, difference.fileByte,
                  difference.deviceByte);
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

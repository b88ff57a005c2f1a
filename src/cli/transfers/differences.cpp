#include "cli/transfers/differences.h"

#include "cli/console/console_output.h"
#include "cli/console/operator_console.h"
#include "cli/console/progress.h"

// Every difference was listed as it was found (up to the most asked for); the
// count closes the list.
void ReportDifferenceCount() {
    unsigned long found = ConsoleReport.differences;
    unsigned long shown =
        found < ConsoleReport.maxDifferences ? found : ConsoleReport.maxDifferences;
    if (shown < found)
        PrintMessage(ConsoleOut, MsgDifferencesShown, found, shown);
    else
        PrintMessage(ConsoleOut, MsgDifferencesCount, found);
}

namespace {

// The zero fill of a file's last block is compared as the write sends it; a
// controller whose bytes there are not zeros still holds every byte of the file.
void ReportBytesBeyondFile() {
    unsigned long n = ConsoleReport.beyondFile;
    if (n == 0) return;
    PrintMessage(ConsoleOut, MsgBeyondFileBytes, n,
                 SayCount(n, MsgByteOne, MsgByteFew, MsgByteMany));
}

}  // namespace

ExitCode EndComparison(ExitCode code, const char* what, const std::string& done) {
    if (code == ExitDone && ConsoleReport.differences == 0) {
        CompleteAllBlocks();
        EndProgress(what, done);
        ReportBytesBeyondFile();
        return ExitDone;
    }
    EndProgress(nullptr);
    ReportBytesBeyondFile();
    if (ConsoleReport.differences > 0) ReportDifferenceCount();
    return code != ExitDone ? code : ExitDifferences;
}

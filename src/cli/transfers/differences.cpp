#include "cli/transfers/differences.h"

#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "cli/console/operator_console.h"
#include "cli/console/progress.h"

// Every difference was listed as it was found (up to the most asked for); the
// count closes the list.
void ReportDifferenceCount() {
    unsigned long found = ConsoleReport.differences;
    unsigned long shown =
        found < ConsoleReport.maxDifferences ? found : ConsoleReport.maxDifferences;
    if (shown < found)
        PrintLine(ConsoleOut, "Różnic : %lu (pokazano %lu)", found, shown);
    else
        PrintLine(ConsoleOut, "Różnic : %lu", found);
}

namespace {

// The zero fill of a file's last block is compared as the write sends it; a
// controller whose bytes there are not zeros still holds every byte of the file.
void ReportBytesBeyondFile() {
    unsigned long n = ConsoleReport.beyondFile;
    if (n == 0) return;
    PrintLine(ConsoleOut,
              "Za końcem pliku Dm730 ma %lu %s innych niż 0 : nie należą do pliku (zapis wpisałby "
              "tam zera).",
              n, PolishPlural(n, "bajt", "bajty", "bajtów"));
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

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
        PrintLine(ConsoleOut, "Różnic : %lu (pokazano %lu)", found, shown);
    else
        PrintLine(ConsoleOut, "Różnic : %lu", found);
}

ExitCode EndComparison(ExitCode code, const char* what) {
    if (code == ExitDone && ConsoleReport.differences == 0) {
        CompleteAllBlocks();
        EndProgress(what);
        return ExitDone;
    }
    EndProgress(nullptr);
    if (ConsoleReport.differences > 0) ReportDifferenceCount();
    return code != ExitDone ? code : ExitDifferences;
}

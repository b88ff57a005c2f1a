#include "cli/commands.h"
#include "cli/console_output.h"
#include "cli/controller_search.h"
#include "cli/exit_codes.h"
#include "cli/file_checks.h"
#include "cli/operator_console.h"
#include "cli/progress.h"
#include "cli/region_transfer.h"
#include "protocol/frames.h"
#include "transfer/status_lines.h"

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

ExitCode RunVerifyCommand(const CommandLine& line) {
    ExitCode checked = CheckExtension(line.kind, line.path);
    if (checked == ExitDone) checked = CheckSourceFile(line.kind, line.path, false);
    if (checked != ExitDone) return checked;
    ExitCode found = FindController(line);
    if (found != ExitDone) return found;
    const char* path = line.path.c_str();
    BeginProgress(ProgressStyleFor(line.quiet), BlocksOfFile(line.kind, path));
    ExitCode code = RunRegionTransfer(ActionVerify, line.kind, path, path);
    if (code == ExitDone && ConsoleReport.differences == 0) {
        CompleteAllBlocks();
        char what[StatusLineSize];
        ComposeActionLine(what);
        EndProgress(what);
        return ExitDone;
    }
    EndProgress(nullptr);
    if (ConsoleReport.differences > 0) ReportDifferenceCount();
    return code == ExitDone ? ExitDifferences : code;
}

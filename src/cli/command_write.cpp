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

// With --verify the blocks just written are read back and compared: a
// controller can acknowledge a block and still store it wrong, and only a
// read-back shows it (the protocol has no checksum of a region).
ExitCode RunWriteCommand(const CommandLine& line) {
    ExitCode checked = CheckExtension(line.kind, line.path);
    if (checked == ExitDone) checked = CheckSourceFile(line.kind, line.path, true);
    if (checked != ExitDone) return checked;
    ExitCode found = FindController(line);
    if (found != ExitDone) return found;
    const char* path = line.path.c_str();
    unsigned long blocks = BlocksOfFile(line.kind, path);
    BeginProgress(ProgressStyleFor(line.quiet), line.readBack ? 2 * blocks : blocks);
    ExitCode code = RunRegionTransfer(ActionWriteToDevice, line.kind, path, path);
    if (code != ExitDone) {
        EndProgress(nullptr);
        if (code == ExitInterrupted)
            PrintLine(ConsoleError, "Zapisz plik ponownie (dm730 write), aby obszar był cały.");
        return code;
    }
    CompleteRegion();
    char what[StatusLineSize];
    ComposeActionLine(what);
    if (line.readBack) {
        code = RunRegionTransfer(ActionVerify, line.kind, path, path);
        if (code != ExitDone || ConsoleReport.differences > 0) {
            EndProgress(nullptr);
            if (ConsoleReport.differences > 0) ReportDifferenceCount();
            return code != ExitDone ? code : ExitDifferences;
        }
        CompleteAllBlocks();
    }
    EndProgress(what);
    return ExitDone;
}

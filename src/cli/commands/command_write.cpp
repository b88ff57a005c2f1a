#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/progress.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/differences.h"
#include "cli/transfers/file_checks.h"
#include "cli/transfers/region_transfer.h"
#include "protocol/frames.h"
#include "transfer/status_lines.h"

// With --verify the blocks just written are read back and compared: a
// controller can acknowledge a block and still store it wrong, and only a
// read-back shows it (the protocol has no checksum of a region).
ExitCode RunWriteCommand(const CommandLine& line) {
    ExitCode checked = CheckExtension(line.kind, line.path);
    if (checked == ExitDone) checked = CheckSourceFile(line.kind, line.path, true);
    if (checked != ExitDone) return checked;
    ExitCode found = FindController(line.port, line.quiet);
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
    if (line.readBack) code = RunRegionTransfer(ActionVerify, line.kind, path, path);
    return EndComparison(code, what);
}

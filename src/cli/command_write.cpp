#include "transfer/status_lines.h"
#include "cli/commands.h"
#include "cli/controller_search.h"
#include "cli/exit_codes.h"
#include "cli/file_checks.h"
#include "cli/progress.h"
#include "cli/region_transfer.h"
#include "protocol/frames.h"

ExitCode RunWriteCommand(const CommandLine& line) {
    ExitCode checked = CheckExtension(line.kind, line.path);
    if (checked == ExitDone) checked = CheckSourceFile(line.kind, line.path, true);
    if (checked != ExitDone) return checked;
    ExitCode found = FindController(line);
    if (found != ExitDone) return found;
    const char* path = line.path.c_str();
    BeginProgress(ProgressStyleFor(line.quiet), BlocksOfFile(line.kind, path));
    ExitCode code = RunRegionTransfer(ActionWriteToDevice, line.kind, path, path);
    if (code != ExitDone) {
        EndProgress(nullptr);
        return code;
    }
    CompleteRegion();
    char what[StatusLineSize];
    ComposeActionLine(what);
    EndProgress(what);
    return ExitDone;
}

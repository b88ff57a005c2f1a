#include "transfer/status_lines.h"
#include "cli/commands.h"
#include "cli/controller_search.h"
#include "cli/exit_codes.h"
#include "cli/part_files.h"
#include "cli/progress.h"
#include "cli/region_transfer.h"
#include "protocol/frames.h"
#include "protocol/regions.h"

ExitCode RunReadCommand(const CommandLine& line) {
    ExitCode ready = PrepareReadTarget(line.path, line.force);
    if (ready != ExitDone) return ready;
    ExitCode found = FindController(line);
    if (found != ExitDone) return found;
    std::string part = PartPathOf(line.path);
    BeginProgress(ProgressStyleFor(line.quiet), LookUpRegion(line.kind).blockCount);
    ExitCode code =
        RunRegionTransfer(ActionReadFromDevice, line.kind, part.c_str(), line.path.c_str());
    if (code != ExitDone) {
        EndProgress(nullptr);
        ReportPartFile(line.path);
        return code;
    }
    CompleteRegion();
    code = PutPartInPlace(line.path);
    char what[StatusLineSize];
    ComposeActionLine(what);
    EndProgress(code == ExitDone ? what : nullptr);
    return code;
}

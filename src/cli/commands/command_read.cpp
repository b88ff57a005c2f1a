#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/progress.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/file_checks.h"
#include "cli/transfers/part_files.h"
#include "cli/transfers/region_transfer.h"
#include "protocol/frames.h"
#include "protocol/regions.h"
#include "transfer/status_lines.h"

ExitCode RunReadCommand(const CommandLine& line) {
    ExitCode ready = CheckExtension(line.kind, line.path);
    if (ready != ExitDone) return ready;
    unsigned fromBlock = 0;
    ready = CheckReadTarget(line.path, line.kind, ReadChoice{line.force, line.resume, true},
                            &fromBlock);
    if (ready != ExitDone) return ready;
    ExitCode found = FindController(line.port, line.quiet);
    if (found != ExitDone) return found;
    // Made only now: a read that finds no controller leaves no empty part behind.
    ready = PreparePartFile(line.path, fromBlock);
    if (ready != ExitDone) return ready;
    std::string part = PartPathOf(line.path);
    unsigned long blocks = LookUpRegion(line.kind).blockCount;
    if (fromBlock > 0 && !line.quiet)
        PrintLine(ConsoleError, "Wznowienie : %s ma %u bloków, odczyt od bloku %u z %lu",
                  part.c_str(), fromBlock, fromBlock + 1, blocks);
    BeginProgress(ProgressStyleFor(line.quiet), blocks - fromBlock, fromBlock);
    ExitCode code = RunRegionTransfer(ActionReadFromDevice, line.kind, part.c_str(),
                                      line.path.c_str(), fromBlock);
    if (code != ExitDone) {
        EndProgress(nullptr);
        ReportPartFile(line.path);
        PrintLine(ConsoleError, "Dokończysz odczyt tym samym poleceniem z --resume.");
        return code;
    }
    CompleteRegion();
    code = PutPartInPlace(line.path);
    char what[StatusLineSize];
    ComposeActionLine(what);
    EndProgress(code == ExitDone ? what : nullptr);
    return code;
}

// A file, or a whole backup folder, compared with the controller: every
// difference listed, and exit 4 when there was any.
#include <sstream>
#include <string>

#include "cli/backup/backup_check.h"
#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/operator_console.h"
#include "cli/console/progress.h"
#include "cli/system/files.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/differences.h"
#include "cli/transfers/file_checks.h"
#include "cli/transfers/region_transfer.h"
#include "protocol/frames.h"
#include "cli/console/transfer_texts.h"

ExitCode RunVerifyCommand(const CommandLine& line) {
    ExitCode checked = CheckExtension(line.kind, line.path);
    if (checked == ExitDone) checked = CheckSourceFile(line.kind, line.path, false);
    if (checked != ExitDone) return checked;
    ExitCode found = FindController(line.port, line.quiet);
    if (found != ExitDone) return found;
    const char* path = line.path.c_str();
    BeginProgress(ProgressStyleFor(line.quiet), BlocksOfFile(line.kind, path));
    ExitCode code = RunRegionTransfer(ActionVerify, line.kind, path, path);
    // The rest of a file longer than its region was never compared, as the
    // core's warning said; differences in what was compared still come first.
    if (code == ExitDone && ConsoleReport.differences == 0 &&
        FileSizeOf(path) > (long long)RegionBytes(line.kind))
        code = ExitFileFailed;
    return EndComparison(
        code, ActionText().c_str(),
        SayFormatted(MsgWithoutDifferences, BlockCount(BlocksOfFile(line.kind, path)).c_str()));
}

ExitCode RunVerifyBackupCommand(const CommandLine& line) {
    CheckedBackup backup;
    ExitCode ready = PrepareFolderRun(line.path, line.port, line.quiet, &backup);
    if (ready != ExitDone) return ready;
    BeginProgress(ProgressStyleFor(line.quiet), BlocksOfFolder(backup));
    ExitCode code = ExitDone;
    for (DataKind kind : AllDataKinds) {
        // Compared as checked: the bytes read once, not the file again.
        std::stringstream held(backup.contents[kind]);
        const char* path = backup.paths[kind].c_str();
        unsigned long before = ConsoleReport.differences;
        code = RunRegionTransfer(ActionVerify, kind, path, path, WholeRegion, &held);
        ReportRegionDifferences(kind, before);
        if (code != ExitDone) break;
        CompleteRegion();
    }
    std::string what = SayFormatted(MsgVerifyBackupWhat, line.path.c_str());
    return EndComparison(
        code, what.c_str(),
        SayFormatted(MsgWithoutDifferences, BlockCount(BlocksOfFolder(backup)).c_str()));
}

// A backup folder back onto a controller, each region read back after it is
// written. The whole folder is checked against its manifest before the first
// byte is sent, and the restore stays with the controller it found for all
// three regions.
#include <string>

#include "cli/backup/backup_check.h"
#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/operator_console.h"
#include "cli/console/progress.h"
#include "cli/transfers/differences.h"
#include "cli/transfers/region_transfer.h"
#include "protocol/frames.h"
#include "protocol/regions.h"

namespace {

enum RegionState {
    RegionUntouched = 0,
    RegionPartlyWritten,  // the write failed or was stopped in mid-region
    RegionWritten,        // written, not (yet) read back
    RegionRestored,       // written and read back equal
    RegionDiffers,        // written, but the controller holds something else
};

const char* StateWord(RegionState state, bool readBack) {
    switch (state) {
    case RegionUntouched: return "nietknięty";
    case RegionPartlyWritten: return "zapisany częściowo";
    case RegionWritten: return readBack ? "zapisany, nie sprawdzony" : "zapisany";
    case RegionRestored: return "odtworzony";
    case RegionDiffers: return "zapisany z różnicami";
    }
    return "";
}

// Which regions now hold the backup and which do not: the technician must
// know what to put right after a restore that did not end whole.
void ReportRegionStates(const RegionState states[DataKindCount], bool readBack) {
    std::string line = "Obszary :";
    for (DataKind kind : AllDataKinds)
        line += std::string(kind != KindFirmware ? ", " : " ") + FactsOf(kind).word + " " +
                StateWord(states[kind], readBack);
    PrintLine(ConsoleError, "%s", line.c_str());
}

}  // namespace

ExitCode RunRestoreCommand(const CommandLine& line) {
    BackupManifest manifest;
    std::string paths[DataKindCount];
    ExitCode ready = PrepareFolderRun(line.path, line.port, line.quiet, &manifest, paths);
    if (ready != ExitDone) return ready;
    BeginProgress(ProgressStyleFor(line.quiet), BlocksOfFolder(paths) * (line.readBack ? 2 : 1));
    RegionState states[DataKindCount] = {RegionUntouched, RegionUntouched, RegionUntouched};
    ExitCode code = ExitDone;
    for (DataKind kind : AllDataKinds) {
        const char* path = paths[kind].c_str();
        code = RunRegionTransfer(ActionWriteToDevice, kind, path, path);
        states[kind] = code == ExitDone ? RegionWritten : RegionPartlyWritten;
        if (code == ExitDone && line.readBack) {
            CompleteRegion();
            unsigned long before = ConsoleReport.differences;
            code = RunRegionTransfer(ActionVerify, kind, path, path);
            ReportRegionDifferences(kind, before);
            if (code == ExitDone)
                states[kind] = ConsoleReport.differences > before ? RegionDiffers : RegionRestored;
        }
        if (code != ExitDone) break;
        CompleteRegion();
    }
    std::string what = "Odtworzenie kopii " + line.path;
    ExitCode ended = EndComparison(code, what.c_str());
    if (ended == ExitDone) return ExitDone;
    ReportRegionStates(states, line.readBack);
    if (code != ExitDone)
        PrintLine(ConsoleError, "Aby dokończyć, odtwórz kopię ponownie : dm730 restore %s",
                  line.path.c_str());
    return ended;
}

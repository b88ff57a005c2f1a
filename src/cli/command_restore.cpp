// A backup folder back onto a controller, each region read back after it is
// written, and the comparison of a folder with a controller. Both check the
// whole folder against its manifest before the first byte is sent, and both
// stay with the controller they found for all three regions.
#include <string>

#include "cli/arguments.h"
#include "cli/backup_check.h"
#include "cli/commands.h"
#include "cli/console_output.h"
#include "cli/controller_search.h"
#include "cli/exit_codes.h"
#include "cli/operator_console.h"
#include "cli/progress.h"
#include "cli/region_transfer.h"
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
void ReportRegionStates(const RegionState states[3], bool readBack) {
    std::string line = "Obszary :";
    for (int kind = KindFirmware; kind <= KindScenes; ++kind)
        line += std::string(kind ? ", " : " ") + DataKindWords[kind] + " " +
                StateWord(states[kind], readBack);
    PrintLine(ConsoleError, "%s", line.c_str());
}

// After each region's comparison: the listing lines count blocks within the
// region, so the region they belong to is said once they are over.
void ReportRegionDifferences(int kind, unsigned long before) {
    if (ConsoleReport.differences > before)
        PrintLine(ConsoleOut, "Obszar %s : różnic %lu", DataKindWords[kind],
                  ConsoleReport.differences - before);
}

unsigned long BlocksOfFolder(const std::string paths[3]) {
    unsigned long blocks = 0;
    for (int kind = KindFirmware; kind <= KindScenes; ++kind)
        blocks += BlocksOfFile(kind, paths[kind].c_str());
    return blocks;
}

// The checked folder and the controller, found once: ExitDone or why not.
ExitCode PrepareFolderRun(const CommandLine& line, BackupManifest* manifest, std::string paths[3]) {
    ExitCode checked = CheckBackupForUse(line.path, manifest, paths);
    if (checked != ExitDone) return checked;
    ExitCode found = FindController(line);
    if (found != ExitDone) return found;
    MentionOtherVersions(*manifest);
    return ExitDone;
}

}  // namespace

ExitCode RunRestoreCommand(const CommandLine& line) {
    BackupManifest manifest;
    std::string paths[3];
    ExitCode ready = PrepareFolderRun(line, &manifest, paths);
    if (ready != ExitDone) return ready;
    const bool readBack = !line.noReadBack;
    BeginProgress(ProgressStyleFor(line.quiet), BlocksOfFolder(paths) * (readBack ? 2 : 1));
    RegionState states[3] = {RegionUntouched, RegionUntouched, RegionUntouched};
    for (int kind = KindFirmware; kind <= KindScenes; ++kind) {
        const char* path = paths[kind].c_str();
        ExitCode code = RunRegionTransfer(ActionWriteToDevice, DataKind(kind), path, path);
        states[kind] = code == ExitDone ? RegionWritten : RegionPartlyWritten;
        if (code == ExitDone && readBack) {
            CompleteRegion();
            unsigned long before = ConsoleReport.differences;
            code = RunRegionTransfer(ActionVerify, DataKind(kind), path, path);
            ReportRegionDifferences(kind, before);
            if (code == ExitDone)
                states[kind] = ConsoleReport.differences > before ? RegionDiffers : RegionRestored;
        }
        if (code != ExitDone) {
            EndProgress(nullptr);
            ReportRegionStates(states, readBack);
            PrintLine(ConsoleError, "Aby dokończyć, odtwórz kopię ponownie : dm730 restore %s",
                      line.path.c_str());
            return code;
        }
        CompleteRegion();
    }
    if (ConsoleReport.differences > 0) {
        EndProgress(nullptr);
        ReportDifferenceCount();
        ReportRegionStates(states, readBack);
        return ExitDifferences;
    }
    CompleteAllBlocks();
    std::string what = "Odtworzenie kopii " + line.path;
    EndProgress(what.c_str());
    return ExitDone;
}

ExitCode RunVerifyBackupCommand(const CommandLine& line) {
    BackupManifest manifest;
    std::string paths[3];
    ExitCode ready = PrepareFolderRun(line, &manifest, paths);
    if (ready != ExitDone) return ready;
    BeginProgress(ProgressStyleFor(line.quiet), BlocksOfFolder(paths));
    for (int kind = KindFirmware; kind <= KindScenes; ++kind) {
        const char* path = paths[kind].c_str();
        unsigned long before = ConsoleReport.differences;
        ExitCode code = RunRegionTransfer(ActionVerify, DataKind(kind), path, path);
        ReportRegionDifferences(kind, before);
        if (code != ExitDone) {
            EndProgress(nullptr);
            return code;
        }
        CompleteRegion();
    }
    if (ConsoleReport.differences > 0) {
        EndProgress(nullptr);
        ReportDifferenceCount();
        return ExitDifferences;
    }
    CompleteAllBlocks();
    std::string what = "Weryfikacja kopii " + line.path;
    EndProgress(what.c_str());
    return ExitDone;
}

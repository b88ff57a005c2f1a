#include "cli/backup/backup_check.h"

#include <cstring>

#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "cli/console/operator_console.h"
#include "cli/system/files.h"
#include "cli/backup/folder_lock.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/region_transfer.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "transfer/start.h"

namespace {

ExitCode NothingSent(const std::string& folder) {
    PrintMessage(ConsoleError, MsgBackupMismatch, folder.c_str());
    return ExitFileFailed;
}

}  // namespace

ExitCode CheckBackupForUse(const std::string& folder, CheckedBackup* backup) {
    std::string problem;
    if (ReadManifestFile(folder, &backup->manifest, &problem) != ManifestValid) {
        PrintLine(ConsoleError, "%s", problem.c_str());
        return NothingSent(folder);
    }
    bool named = true;
    for (DataKind kind : AllDataKinds) {
        const std::string& file = backup->manifest.regions[kind].file;
        backup->paths[kind] = PathInFolder(folder, file.c_str());
        if (PathFitsKind(kind, file.c_str())) continue;
        PrintMessage(ConsoleError, MsgOtherKindExtension, QuotedText(file).c_str(),
                     FactsOf(kind).word);
        named = false;
    }
    if (!named) return NothingSent(folder);
    if (CheckBackupFolder(folder, backup->manifest, backup->contents, &problem) != FolderMatches) {
        PrintLine(ConsoleError, "%s", problem.c_str());
        return NothingSent(folder);
    }
    return ExitDone;
}

ExitCode PrepareFolderRun(const std::string& folder, const std::string& port, bool quiet,
                          CheckedBackup* backup) {
    ExitCode held = HoldBackupFolder(folder, false);
    if (held != ExitDone) return held;
    ExitCode checked = CheckBackupForUse(folder, backup);
    if (checked != ExitDone) return checked;
    ExitCode found = FindController(port, quiet);
    if (found != ExitDone) return found;
    MentionOtherVersions(backup->manifest);
    return ExitDone;
}

unsigned long BlocksOfFolder(const CheckedBackup& backup) {
    unsigned long blocks = 0;
    for (DataKind kind : AllDataKinds)
        blocks += BlocksOfSize(kind, (long long)backup.contents[kind].size());
    return blocks;
}

void ReportRegionDifferences(DataKind kind, unsigned long before) {
    if (ConsoleReport.differences > before)
        PrintMessage(ConsoleOut, MsgRegionDifferences, FactsOf(kind).word,
                     ConsoleReport.differences - before);
}

void MentionOtherVersions(const BackupManifest& manifest) {
    std::string firmware, second;
    FoundControllerVersions(&firmware, &second);
    if (firmware == manifest.firmwareVersion && second == manifest.secondVersion) return;
    // The controller's texts as the window shows them; the manifest's are
    // UTF-8, which the console passes on whole.
    PrintMessage(ConsoleError, MsgBackupOtherVersions, firmware.c_str(), second.c_str(),
                 ShownText(manifest.firmwareVersion).c_str(),
                 ShownText(manifest.secondVersion).c_str());
}

#include "cli/backup/backup_check.h"

#include <cstring>

#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "cli/console/operator_console.h"
#include "cli/system/files.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/region_transfer.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "transfer/start.h"

ExitCode CheckBackupForUse(const std::string& folder, BackupManifest* manifest,
                           std::string paths[DataKindCount]) {
    std::string problem;
    if (ReadManifestFile(folder, manifest, &problem) != ManifestValid) {
        PrintLine(ConsoleError, "%s", problem.c_str());
        return ExitFileFailed;
    }
    bool named = true;
    for (DataKind kind : AllDataKinds) {
        paths[kind] = PathInFolder(folder, manifest->regions[kind].file.c_str());
        if (PathFitsKind(kind, paths[kind].c_str())) continue;
        PrintLine(ConsoleError, "Plik %s ma rozszerzenie innego rodzaju danych niż %s",
                  paths[kind].c_str(), FactsOf(kind).word);
        named = false;
    }
    if (!named) return ExitFileFailed;
    if (CheckBackupFolder(folder, *manifest, &problem) != FolderMatches) {
        PrintLine(ConsoleError, "%s", problem.c_str());
        PrintLine(ConsoleError, "Kopia w %s nie zgadza się ze swoim opisem : nic nie wysłano.",
                  folder.c_str());
        return ExitFileFailed;
    }
    return ExitDone;
}

ExitCode PrepareFolderRun(const std::string& folder, const std::string& port, bool quiet,
                          BackupManifest* manifest, std::string paths[DataKindCount]) {
    ExitCode checked = CheckBackupForUse(folder, manifest, paths);
    if (checked != ExitDone) return checked;
    ExitCode found = FindController(port, quiet);
    if (found != ExitDone) return found;
    MentionOtherVersions(*manifest);
    return ExitDone;
}

unsigned long BlocksOfFolder(const std::string paths[DataKindCount]) {
    unsigned long blocks = 0;
    for (DataKind kind : AllDataKinds) blocks += BlocksOfFile(kind, paths[kind].c_str());
    return blocks;
}

void ReportRegionDifferences(DataKind kind, unsigned long before) {
    if (ConsoleReport.differences > before)
        PrintLine(ConsoleOut, "Obszar %s : różnic %lu", FactsOf(kind).word,
                  ConsoleReport.differences - before);
}

void MentionOtherVersions(const BackupManifest& manifest) {
    std::string firmware, second;
    FoundControllerVersions(&firmware, &second);
    if (firmware == manifest.firmwareVersion && second == manifest.secondVersion) return;
    // The controller's texts as the window shows them; the manifest's are
    // UTF-8, which the console passes on whole.
    PrintLine(ConsoleError,
              "Uwaga : sterownik ma wersje %s | %s, a kopię wykonano ze sterownika o wersjach "
              "%s | %s.",
              firmware.c_str(), second.c_str(), ShownText(manifest.firmwareVersion).c_str(),
              ShownText(manifest.secondVersion).c_str());
}

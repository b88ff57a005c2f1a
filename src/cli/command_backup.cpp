// All three regions into one folder. The three files are replaced together,
// only once all three regions have arrived, so a backup is never a mixture of
// an old one and a new one.
#include <string>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "cli/controller_search.h"
#include "cli/exit_codes.h"
#include "cli/files.h"
#include "cli/part_files.h"
#include "cli/progress.h"
#include "cli/region_transfer.h"
#include "protocol/frames.h"
#include "protocol/regions.h"

namespace {

struct BackupFile {
    DataKind kind;
    const char* name;
};

const BackupFile BackupFiles[3] = {
    {KindFirmware, "firmware.upg"},
    {KindLibraries, "libraries.lib"},
    {KindScenes, "scenes.usr"},
};

}  // namespace

ExitCode RunBackupCommand(const CommandLine& line) {
    if (MakeFolder(line.path.c_str()) != FileOperationDone) {
        PrintLine(ConsoleError, "Nie mogę utworzyć folderu %s", line.path.c_str());
        return ExitFileFailed;
    }
    std::string paths[3];
    unsigned fromBlock[3];
    for (int i = 0; i < 3; ++i) {
        paths[i] = PathInFolder(line.path, BackupFiles[i].name);
        ExitCode ready = CheckReadTarget(paths[i], BackupFiles[i].kind,
                                         ReadChoice{line.force, false, false}, &fromBlock[i]);
        if (ready != ExitDone) return ready;
    }
    ExitCode found = FindController(line);
    if (found != ExitDone) return found;
    for (int i = 0; i < 3; ++i) {
        ExitCode ready = PreparePartFile(paths[i], fromBlock[i]);
        if (ready != ExitDone) return ready;
    }
    BeginProgress(ProgressStyleFor(line.quiet), DeviceBlockCount);
    for (int i = 0; i < 3; ++i) {
        std::string part = PartPathOf(paths[i]);
        ExitCode code = RunRegionTransfer(ActionReadFromDevice, BackupFiles[i].kind, part.c_str(),
                                          paths[i].c_str());
        if (code != ExitDone) {
            EndProgress(nullptr);
            for (int j = 0; j <= i; ++j) ReportPartFile(paths[j]);
            return code;
        }
        CompleteRegion();
    }
    for (const std::string& path : paths) {
        ExitCode code = PutPartInPlace(path);
        if (code != ExitDone) {
            EndProgress(nullptr);
            return code;
        }
    }
    std::string what = "Kopia zapasowa w " + line.path;
    EndProgress(what.c_str());
    return ExitDone;
}

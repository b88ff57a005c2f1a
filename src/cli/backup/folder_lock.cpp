#include "cli/backup/folder_lock.h"

#include "cli/console/console_output.h"
#include "cli/system/file_lock.h"
#include "cli/system/files.h"

namespace {

// A lock taken twice in one run would stand in its own way.
std::string heldFolder;

}  // namespace

ExitCode HoldBackupFolder(const std::string& folder, bool alone) {
    if (folder == heldFolder || KindOfPath(folder.c_str(), true) != PathFolder) return ExitDone;
    LockOutcome locked = LockForRun(PathInFolder(folder, ".dm730-lock"), alone);
    if (locked == LockTaken) heldFolder = folder;
    if (locked != LockHeldElsewhere) return ExitDone;
    PrintMessage(ConsoleError, MsgFolderInUse, folder.c_str());
    return ExitPortUnusable;
}

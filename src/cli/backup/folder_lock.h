// A backup folder held for a whole run against another dm730 that would
// write into it at the same time (two backups into one folder would leave it
// a mixture of two controllers): a backup holds it alone, restores and
// verifies, which only read it, share it. The lock file .dm730-lock stays in
// the folder.
#pragma once
#include <string>

#include "cli/console/exit_codes.h"

// ExitDone: held (or nothing to hold: the folder is not there yet, or cannot
// be written and has no lock file). ExitPortUnusable, said, when another
// dm730 holds it: nothing was touched.
ExitCode HoldBackupFolder(const std::string& folder, bool alone);

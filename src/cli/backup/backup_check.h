// A backup folder before its files go anywhere, and the controller they are
// to go to: what restore and verify of a folder check first, and what both
// say per region.
#pragma once
#include <string>

#include "cli/backup/backup_manifest.h"
#include "cli/console/exit_codes.h"
#include "protocol/regions.h"

// A backup folder as restore and verify use it: its manifest, and each
// region's file (by DataKind) as read and checked once: what goes to the
// controller is what was checked, whatever happens to the files meanwhile.
struct CheckedBackup {
    BackupManifest manifest;
    std::string paths[DataKindCount];
    std::string contents[DataKindCount];
};

// The manifest is read and checked, and each region's file: its name passes
// the extension rule of its kind, it fits its region, and its size and SHA-256
// are the manifest's. ExitDone; otherwise ExitFileFailed, every problem
// shown, each naming its file, and that nothing was sent.
ExitCode CheckBackupForUse(const std::string& folder, CheckedBackup* backup);

// The folder held against a backup into it (shared with the restores and
// verifies that read it) and checked, then the controller, found once (port:
// the one given, or empty for every port), and the versions compared:
// ExitDone or why not.
ExitCode PrepareFolderRun(const std::string& folder, const std::string& port, bool quiet,
                          CheckedBackup* backup);

// The blocks a write or a verify of the three files moves.
unsigned long BlocksOfFolder(const CheckedBackup& backup);

// After a region's comparison: the listing lines count blocks within the
// region, so the region they belong to is said once they are over. before:
// the differences counted before it.
void ReportRegionDifferences(DataKind kind, unsigned long before);

// On stderr, before anything is written: the controller's versions are not
// those the backup was taken from. Not a refusal: putting the firmware back is
// often the very point of a restore.
void MentionOtherVersions(const BackupManifest& manifest);

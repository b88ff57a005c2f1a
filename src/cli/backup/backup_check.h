// A backup folder before its files go anywhere, and the controller they are
// to go to: what restore and verify of a folder check first, and what both
// say per region.
#pragma once
#include <string>

#include "cli/backup/backup_manifest.h"
#include "cli/console/exit_codes.h"
#include "protocol/regions.h"

// The manifest is read and checked, and each region's file: its name passes
// the extension rule of its kind, it fits its region, and its size and SHA-256
// are the manifest's. ExitDone with the three paths (by DataKind); otherwise
// ExitFileFailed, every problem shown, each naming its file.
ExitCode CheckBackupForUse(const std::string& folder, BackupManifest* manifest,
                           std::string paths[DataKindCount]);

// The checked folder, then the controller, found once (port: the one given,
// or empty for every port), and the versions compared: ExitDone or why not.
ExitCode PrepareFolderRun(const std::string& folder, const std::string& port, bool quiet,
                          BackupManifest* manifest, std::string paths[DataKindCount]);

// The blocks a write or a verify of the three files moves.
unsigned long BlocksOfFolder(const std::string paths[DataKindCount]);

// After a region's comparison: the listing lines count blocks within the
// region, so the region they belong to is said once they are over. before:
// the differences counted before it.
void ReportRegionDifferences(DataKind kind, unsigned long before);

// On stderr, before anything is written: the controller's versions are not
// those the backup was taken from. Not a refusal: putting the firmware back is
// often the very point of a restore.
void MentionOtherVersions(const BackupManifest& manifest);

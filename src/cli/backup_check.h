// A backup folder before its files go anywhere, and the controller they are
// to go to: what restore and verify of a folder check first.
#pragma once
#include <string>

#include "cli/backup_manifest.h"
#include "cli/exit_codes.h"

// The manifest is read and checked, and each region's file: its name passes
// the extension rule of its kind, it fits its region, and its size and SHA-256
// are the manifest's. ExitDone with the three paths (by DataKind); otherwise
// ExitFileFailed, every problem shown, each naming its file.
ExitCode CheckBackupForUse(const std::string& folder, BackupManifest* manifest,
                           std::string paths[3]);

// The version texts of the identification reply that found the controller,
// as the window shows them, in UTF-8.
void ControllerVersions(std::string* firmware, std::string* second);

// On stderr, before anything is written: the controller's versions are not
// those the backup was taken from. Not a refusal: putting the firmware back is
// often the very point of a restore.
void MentionOtherVersions(const BackupManifest& manifest);

// A read gathers its region in FILE.part and puts it in FILE's place only once
// the whole region has arrived: a failed or stopped read never destroys what
// the user had, and keeps the blocks it did read.
#pragma once
#include <string>

#include "cli/exit_codes.h"

std::string PartPathOf(const std::string& path);
// ExitDone when a read may go into path: it is missing, or --force was given
// and it may be replaced; a .part left by an earlier read is removed. Otherwise
// the reason is shown.
ExitCode PrepareReadTarget(const std::string& path, bool force);
// After a read that did not end whole: that path is as it was, and how many
// blocks its .part holds.
void ReportPartFile(const std::string& path);
// The whole region is in the .part, which becomes path. ExitFileFailed, with
// the reason shown, when it cannot.
ExitCode PutPartInPlace(const std::string& path);

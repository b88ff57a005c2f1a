// A set of files replaced as one: after a failure at any of them the folder
// holds every old file again and every new one under its .part name, never a
// mixture of a new set and an old one.
#pragma once
#include <string>
#include <vector>

#include "cli/console/exit_codes.h"

// ExitDone when no file of the set has its "<path>.old" name in the way (one left when
// dm730 was killed while replacing a set: it may hold the only old copy, so
// it goes only with force). Otherwise ExitFileFailed, the name shown.
ExitCode PrepareAsideNames(const std::vector<std::string>& paths, bool force);

// Each parts[i] becomes paths[i]. The old files are first renamed aside, then
// the new ones moved in, then the old ones removed; a rename that fails puts
// everything moved so far back (a rename is what works on Windows too, where
// a file held open can be neither replaced nor renamed, and that failure is
// then met before anything new is in place). ExitFileFailed with the failing
// file named; the caller names the .part files.
ExitCode ReplaceFilesTogether(const std::vector<std::string>& paths,
                              const std::vector<std::string>& parts);

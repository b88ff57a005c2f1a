// A set of files replaced as one: after a failure at any of them the folder
// holds every old file again and every new one under its .part name, never a
// mixture of a new set and an old one; and nothing of an earlier set is ever
// removed before a whole new one has taken its place.
#pragma once
#include <string>
#include <vector>

#include "cli/console/exit_codes.h"
#include "cli/system/held_file.h"

// What a replacement killed half-way (or a failed backup) left of a set:
// "<path>.old" files (the earlier set, set aside) and "<path>.part" files
// (the later one). None: ExitDone. Otherwise, without force, ExitFileFailed
// with each left file named, which of the two sets is whole (each checked
// against its own manifest: paths[manifestIndex]), and how to keep both;
// with force, they are moved unchanged into a new folder of their own
// beside them, named, and ExitDone: nothing is ever removed.
ExitCode SetLeftoversAside(const std::string& folder, const std::vector<std::string>& paths,
                           size_t manifestIndex, bool force);

// Each held part becomes paths[i]. The old files are first renamed aside,
// then the new ones moved in, then the old ones removed; a rename that fails,
// or a part whose name no longer names the file written (a link or another
// file put there), puts everything moved so far back (a rename is what works
// on Windows too, where a file held open can be neither replaced nor renamed,
// and that failure is then met before anything new is in place).
// ExitFileFailed with the failing file named; the caller names the .part files.
ExitCode ReplaceFilesTogether(const std::vector<std::string>& paths, std::vector<HeldFile>& parts);

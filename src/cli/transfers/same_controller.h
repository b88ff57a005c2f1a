// Before a resumed command writes or reads a block: the controller found must
// be the one the interrupted run worked with, or the result would splice two
// memories (a part read from one controller finished from another, a region
// written half from one run and half onto another controller).
#pragma once

#include <iosfwd>

#include "cli/console/exit_codes.h"
#include "cli/transfers/resume_record.h"
#include "protocol/regions.h"

// The controller found has the versions recorded: ExitDone, or
// ExitFileFailed with both pairs named and nothing written.
ExitCode CheckSameVersions(const ResumeRecord& record);
// Block `block` of the region (counted from 0) is in the controller as in
// path (the file sent, or the part gathered for the file givenName):
// ExitDone, or ExitFileFailed naming the block and nothing written; a failure
// of the line ends it with its own code.
// held: the file as the command holds it, shown as path (null: opened by path).
ExitCode CheckSameBlock(DataKind kind, const char* path, const char* givenName, unsigned block,
                        std::iostream* held = nullptr);

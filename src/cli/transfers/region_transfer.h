// One region between a file and the controller, started as the window's
// action commands start it, and the exit code of how it ended.
#pragma once

#include "cli/console/exit_codes.h"
#include "protocol/frames.h"
#include "protocol/regions.h"

// openedPath is the file the transfer uses, givenName the one the operator
// named (they differ for a read, which gathers the region in a .part file that
// PreparePartFile made; the read starts at fromBlock of the region, 0 for all).
// Both files are closed afterwards, however the transfer ended.
ExitCode RunRegionTransfer(TransferAction action, DataKind kind, const char* openedPath,
                           const char* givenName, unsigned fromBlock = 0);

// The blocks a write or a verify of path moves: a file shorter than the region
// ends with the block that holds its end (a block of zeros after a file of
// whole blocks).
unsigned long BlocksOfFile(DataKind kind, const char* path);

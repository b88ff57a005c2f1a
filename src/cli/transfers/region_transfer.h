// One region between a file and the controller, started as the window's
// action commands start it, and the exit code of how it ended.
#pragma once

#include "cli/console/exit_codes.h"
#include "protocol/frames.h"
#include "protocol/regions.h"
#include "transfer/start.h"

// openedPath is the file the transfer uses, givenName the one the operator
// named (they differ for a read, which gathers the region in a .part file that
// PreparePartFile made). span: the blocks of the region it moves. held: the
// file as the command holds it open (a part, a backup's file read once),
// shown as openedPath; null: the core opens openedPath. The transfer's files
// are let go afterwards, however it ended. A write that ends early says which
// blocks of the region hold the new data, which one may, and which still hold
// the old.
ExitCode RunRegionTransfer(TransferAction action, DataKind kind, const char* openedPath,
                           const char* givenName, BlockSpan span = WholeRegion,
                           std::iostream* held = nullptr);

// The blocks of the region the latest transfer reached, counted from the
// region's start: for a write, those the controller confirmed (the span's
// start for a transfer that never began).
unsigned long BlocksDone();
// Writing: the data frame of the block after them went out unanswered, so the
// controller may hold it.
bool BlockMayBeWritten();
// The blocks of every transfer so far that needed a retry.
unsigned long RetriedBlocks();

// After a write of a file of size bytes from block `from` of the region (counted from 0): which
// blocks of the region it wrote, the one filled with zeros past the file's
// end, and those that keep what they held. Said only when the file is
// shorter than its region.
void ReportWrittenBlocks(DataKind kind, long long size, unsigned from);

// The blocks a write or a verify of a file of size bytes (of path) moves: a
// file shorter than the region ends with the block that holds its end (a
// block of zeros after a file of whole blocks).
unsigned long BlocksOfSize(DataKind kind, long long size);
unsigned long BlocksOfFile(DataKind kind, const char* path);

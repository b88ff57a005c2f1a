// The progress of a run of one region, or of the three of a backup: on a
// terminal one line redrawn in place, otherwise a line at each tenth at most,
// or nothing at all with --quiet.
#pragma once
#include <cstddef>
#include <string>

enum ProgressStyle { ProgressNone = 0, ProgressLines, ProgressBar };

// A bar on a terminal, lines into a file or a pipe, nothing when quiet.
ProgressStyle ProgressStyleFor(bool quiet);
// Progress goes to stderr, the closing line to stdout (it is the result).
// totalBlocks: what the whole run is expected to move; its clock starts now.
// skipped: blocks at the start of the first region an earlier read had moved.
void BeginProgress(ProgressStyle style, unsigned long totalBlocks, unsigned long skipped = 0);
// The running transfer moved on (read from TransferJob).
void ShowProgress();
// The running region is over: its blocks count as done for the rest of the run.
void CompleteRegion();
// The whole of what BeginProgress counted is done. A verify that ends at its
// file's last block leaves that block out of the transfer's counters.
void CompleteAllBlocks();
// Clears a drawn bar, so that a message starts on a clean line and no stale
// progress stays above it; the next progress draws the bar again.
void BreakProgressLine();
// Clears the bar and, unless quiet, says what was done: "<what> : gotowe,
// <done> w T s", done being the blocks counted ("512 bloków") unless given;
// with what null the run failed, and only the bar goes.
void EndProgress(const char* what, const std::string& done = "");

// The line for done of total blocks after seconds, behind the action and block
// lines of the window's status display: percent, bytes a second, time left.
void ComposeProgressLine(char* line, size_t size, const char* actionLine, const char* blockLine,
                         unsigned long done, unsigned long total, double seconds);
// The closing line: "<what> : gotowe, N bloków w T s", or with what was done
// said otherwise: "<what> : gotowe, <done> w T s".
void ComposeDoneLine(char* line, size_t size, const char* what, unsigned long blocks,
                     double seconds);
void ComposeDoneLine(char* line, size_t size, const char* what, const char* done, double seconds);
// Whether moving from before to now done blocks reaches a tenth of total not
// reached before (the 100 % line is left to the closing line).
bool ReachesNewTenth(unsigned long before, unsigned long now, unsigned long total);

// The word after a number of blocks: 1 blok, 2 bloki, 5 bloków, 22 bloki.
const char* BlocksWord(unsigned long n);
// The number and its word: "512 bloków".
std::string BlockCount(unsigned long n);

// The operator seam of the core over a console: messages go to stderr as they
// would appear in their box, followed by a line of context (the file and the
// system's reason, or the block and the phase); a question is answered No (a
// command line does not ask), a verification difference is listed and
// answered Yes, and the progress display follows the repaints. How a
// transfer ended is the transfer's own (TransferJob.failure); the console
// keeps only what it showed.
#pragma once

struct ConsoleRecord {
    unsigned long differences;     // found by the verification so far
    unsigned long maxDifferences;  // listed at most; the rest only counted
    // Past the end of a file shorter than its region the verification
    // compares the zero fill the write sends there. Where this run wrote that
    // fill (a read-back), a byte that differs there is a difference like any
    // other; otherwise it is no byte of the file, only counted here.
    bool fillWritten;
    unsigned long beyondFile;
    // Whether differences are listed as they are found; a resume's check of
    // the controller only counts them.
    bool listing;
};
extern ConsoleRecord ConsoleReport;

void ResetConsoleReport(unsigned long maxDifferences);

// The operator seam of the core over a console: messages go to stderr as they
// would appear in their box, a question is answered No (a command line does not
// ask), a verification difference is listed and answered Yes, and the progress
// display follows the repaints.
#pragma once
#include <string>

struct ConsoleRecord {
    std::string failure;           // the first failure shown (error icon), else empty
    unsigned long differences;     // found by the verification so far
    unsigned long maxDifferences;  // listed at most; the rest only counted
};
extern ConsoleRecord ConsoleReport;

void ResetConsoleReport(unsigned long maxDifferences);

// The operator seam of the core over a console: messages go to stderr as they
// would appear in their box, a question is answered No (a command line does not
// ask), a verification difference is listed and answered Yes, and the progress
// display follows the repaints.
#pragma once

#include "operator/failure.h"

struct ConsoleRecord {
    FailureKind failure;           // the kind of the first failure reported, else FailureNone
    unsigned long differences;     // found by the verification so far
    unsigned long maxDifferences;  // listed at most; the rest only counted
};
extern ConsoleRecord ConsoleReport;

void ResetConsoleReport(unsigned long maxDifferences);

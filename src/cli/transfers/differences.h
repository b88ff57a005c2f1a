// How a run that compares with the controller ends (verify of a file or of a
// backup, write --verify, restore): one ending for all of them.
#pragma once

#include <string>

#include "cli/console/exit_codes.h"

// The closing line of a listing of differences: how many, and how many shown.
void ReportDifferenceCount();
// code: how the run's transfers ended. Clean and without differences: every
// block counted is done and the closing line says what was done (done: as
// EndProgress takes it); ExitDone. Otherwise the progress goes, the
// differences found are counted, and the run ends with code, or
// ExitDifferences when only differences are wrong. Either way the bytes past
// a file's end that are no difference (ConsoleRecord) are said.
ExitCode EndComparison(ExitCode code, const char* what, const std::string& done);

// What dm730 tells a script by its exit code; --help and the README list them.
#pragma once

#include "operator/failure.h"

enum ExitCode {
    ExitDone = 0,
    ExitLineFailed = 1,  // the device or the line failed; the window's text is on stderr
    ExitUsage = 2,
    ExitFileFailed = 3,  // a file could not be opened, read or written, or is already there
    ExitDifferences = 4,
    ExitNoController = 5,  // no controller answered on a port that opened
    ExitPortUnusable = 6,  // the port named (or the one the controller was found on) cannot be used
    ExitInterrupted = 130,  // Ctrl-C, as shells report SIGINT
};

// What a failure the core reported means for a script.
inline ExitCode ExitCodeOf(FailureKind kind) {
    switch (kind) {
    case FailureNone: return ExitDone;
    case FailureLine: return ExitLineFailed;
    case FailureFile: return ExitFileFailed;
    case FailureRule: return ExitUsage;
    case FailureStopped: return ExitInterrupted;
    case FailurePort: return ExitPortUnusable;
    case FailureNoDevice: return ExitNoController;
    }
    return ExitLineFailed;
}

// What dm730 tells a script by its exit code; --help and the README list them.
#pragma once

enum ExitCode {
    ExitDone = 0,
    ExitLineFailed = 1,  // the device or the line failed; the window's text is on stderr
    ExitUsage = 2,
    ExitFileFailed = 3,  // a file could not be opened, read or written, or is already there
    ExitDifferences = 4,
    ExitNoController = 5,
    ExitInterrupted = 130,  // Ctrl-C, as shells report SIGINT
};

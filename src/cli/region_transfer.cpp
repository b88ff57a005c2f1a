#include "cli/region_transfer.h"

#include "cli/console_output.h"
#include "cli/controller_search.h"
#include "cli/exit_codes.h"
#include "cli/files.h"
#include "cli/operator_console.h"
#include "cli/progress.h"
#include "cli/transfer_loop.h"
#include "protocol/regions.h"
#include "serial/port_open.h"
#include "transfer/start.h"
#include "transfer/transfer.h"

namespace {

void CloseTransferFiles() {
    TransferJob.inputFile.close();
    TransferJob.outputFile.close();
}

// The start's own refusals with no failure behind them (the operator would not
// overwrite) count as a file that is there already.
ExitCode ExitCodeOfStart(StartOutcome started) {
    if (TransferJob.failure != FailureNone) return ExitCodeOf(TransferJob.failure);
    return started == StartDeclined ? ExitFileFailed : ExitLineFailed;
}

ExitCode Run(TransferAction action, DataKind kind, const char* openedPath, const char* givenName) {
    TransferJob.action = action;
    TransferJob.kind = kind;
    // Like every action of the window: the port is opened afresh, so the
    // controller sees a clean line. Unlike the window, only the port the
    // controller was found on: a command never mixes two controllers.
    ExitCode reopened = ReopenFoundPort();
    if (reopened != ExitDone) return reopened;
    StartOutcome started = StartTransferIntoFile(openedPath, givenName);
    if (started != StartRunning) return ExitCodeOfStart(started);
    if (PumpTransfer() == PumpInterrupted) {
        BreakProgressLine();
        PrintLine(ConsoleError, "Transmisja przerwana (Ctrl-C).");
        return ExitInterrupted;
    }
    return ExitCodeOf(ConsoleReport.failure);
}

}  // namespace

ExitCode RunRegionTransfer(TransferAction action, DataKind kind, const char* openedPath,
                           const char* givenName) {
    ExitCode code = Run(action, kind, openedPath, givenName);
    CloseTransferFiles();
    return code;
}

unsigned long BlocksOfFile(int kind, const char* path) {
    unsigned long region = LookUpRegion(kind).blockCount;
    long long size = FileSizeOf(path);
    if (size < 0 || size >= (long long)region * BlockSize) return region;
    return (unsigned long)(size / BlockSize) + 1;
}

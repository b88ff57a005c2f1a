#include "cli/transfers/region_transfer.h"

#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/operator_console.h"
#include "cli/console/progress.h"
#include "cli/system/files.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/transfer_loop.h"
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

// Stopped in mid-write, the region holds the new data up to some block and the
// old after it: the technician needs to know which. How to put it right (write
// the file again, restore the folder again) is the command's to say.
void ReportStoppedWrite(DataKind kind, const char* path, int phase) {
    unsigned long total = LookUpRegion(kind).blockCount;
    unsigned long blocks = BlocksOfFile(kind, path);
    unsigned long done = (unsigned long)(TransferJob.nextBlock - TransferJob.firstBlock);
    // Once its frame is on the line, the block may be stored though no answer came.
    bool maybe = phase >= PhaseBlockSent && done < blocks;
    if (done == 0)
        PrintLine(ConsoleError, "Żaden blok nie ma jeszcze nowych danych.");
    else
        PrintLine(ConsoleError, "Bloki 1-%lu z %lu mają już nowe dane.", done, total);
    unsigned long oldFrom = done + (maybe ? 2 : 1);
    if (maybe)
        PrintLine(ConsoleError, "Blok %lu z %lu mógł zostać zapisany lub nie.", done + 1, total);
    if (oldFrom <= blocks)
        PrintLine(ConsoleError, "Bloki %lu-%lu z %lu mają jeszcze stare dane.", oldFrom, blocks,
                  total);
}

ExitCode Run(TransferAction action, DataKind kind, const char* openedPath, const char* givenName,
             unsigned fromBlock) {
    TransferJob.action = action;
    TransferJob.kind = kind;
    // Like every action of the window: the port is opened afresh, so the
    // controller sees a clean line. Unlike the window, only the port the
    // controller was found on: a command never mixes two controllers.
    ExitCode reopened = ReopenFoundPort();
    if (reopened != ExitDone) return reopened;
    StartOutcome started = action == ActionReadFromDevice
                               ? StartReadIntoPreparedFile(openedPath, givenName, fromBlock)
                               : StartTransferIntoFile(openedPath, givenName);
    if (started != StartRunning) return ExitCodeOfStart(started);
    int phaseAtStop = PhaseIdle;
    if (PumpTransfer(&phaseAtStop) == PumpInterrupted) {
        BreakProgressLine();
        PrintLine(ConsoleError, "Transmisja przerwana (Ctrl-C).");
        if (action == ActionWriteToDevice) ReportStoppedWrite(kind, openedPath, phaseAtStop);
        return ExitInterrupted;
    }
    return ExitCodeOf(TransferJob.failure);
}

}  // namespace

ExitCode RunRegionTransfer(TransferAction action, DataKind kind, const char* openedPath,
                           const char* givenName, unsigned fromBlock) {
    ExitCode code = Run(action, kind, openedPath, givenName, fromBlock);
    CloseTransferFiles();
    return code;
}

unsigned long BlocksOfFile(DataKind kind, const char* path) {
    unsigned long region = LookUpRegion(kind).blockCount;
    long long size = FileSizeOf(path);
    if (size < 0 || size >= (long long)region * BlockSize) return region;
    return (unsigned long)(size / BlockSize) + 1;
}

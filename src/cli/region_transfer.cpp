#include "cli/region_transfer.h"

#include <cstring>

#include "cli/console_output.h"
#include "cli/exit_codes.h"
#include "cli/files.h"
#include "cli/operator_console.h"
#include "cli/progress.h"
#include "cli/transfer_loop.h"
#include "protocol/regions.h"
#include "serial/port_open.h"
#include "transfer/start.h"
#include "transfer/transfer.h"

// The failure the core reported, told apart by its fixed texts: the file's
// own failures from everything the device and the line can do.
static int ExitCodeOfFailure() {
    const char* text = ConsoleReport.failure.c_str();
    if (std::strcmp(text, ExtensionChangedText) == 0) return ExitUsage;
    if (std::strcmp(text, FileOpenFailureText) == 0 ||
        std::strcmp(text, FileReadFailureText) == 0 || std::strcmp(text, FileWriteFailureText) == 0)
        return ExitFileFailed;
    return ExitLineFailed;
}

static void CloseTransferFiles() {
    TransferJob.inputFile.close();
    TransferJob.outputFile.close();
}

static int Run(int action, int kind, const char* openedPath, const char* givenName) {
    TransferJob.action = action;
    TransferJob.kind = kind;
    ConsoleReport.failure.clear();
    // Like every action of the window: the port is opened afresh, so the
    // controller sees a clean line.
    if (ReopenPort() != PortReady) return ExitNoController;
    int started = StartTransferIntoFile(openedPath, givenName);
    // Declined: the file to send or compare is missing.
    if (started == StartDeclined) return ExitFileFailed;
    if (started != StartRunning) return ExitCodeOfFailure();
    if (PumpTransfer() == PumpInterrupted) {
        BreakProgressLine();
        PrintLine(ConsoleError, "Transmisja przerwana (Ctrl-C).");
        return ExitInterrupted;
    }
    if (!ConsoleReport.failure.empty()) return ExitCodeOfFailure();
    return ExitDone;
}

int RunRegionTransfer(int action, int kind, const char* openedPath, const char* givenName) {
    int code = Run(action, kind, openedPath, givenName);
    CloseTransferFiles();
    return code;
}

unsigned long BlocksOfFile(int kind, const char* path) {
    unsigned long region = LookUpRegion(kind).blockCount;
    long long size = FileSizeOf(path);
    if (size < 0 || size >= (long long)region * BlockSize) return region;
    return (unsigned long)(size / BlockSize) + 1;
}

#include "cli/transfers/region_transfer.h"

#include <iostream>
#include <string>

#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/json_events.h"
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

unsigned long retriedBlocks = 0;
// How far the latest transfer got: the blocks of the region before the one
// in hand, and whether that one's data frame went out. Where the transfer
// never started, the span's start.
unsigned long blocksDone = 0;
bool frameOut = false;

// The start's own refusals with no failure behind them (the operator would not
// overwrite) count as a file that is there already.
ExitCode ExitCodeOfStart(StartOutcome started) {
    if (TransferJob.failure != FailureNone) return ExitCodeOf(TransferJob.failure);
    return started == StartDeclined ? ExitFileFailed : ExitLineFailed;
}

// Ended in mid-write, the region holds the new data up to some block and the
// old after it: the technician needs to know which, and a resume starts from
// it. How to put it right is the command's to say.
void ReportStoppedWrite(DataKind kind, unsigned long blocks) {
    unsigned long total = LookUpRegion(kind).blockCount;
    unsigned long done = BlocksDone();
    // Once its frame is on the line, the block may be stored though no answer came.
    bool maybe = BlockMayBeWritten() && done < blocks;
    if (done == 0)
        PrintMessage(ConsoleError, MsgNoBlockNew);
    else
        PrintMessage(ConsoleError, MsgBlocksNew, done, total);
    unsigned long oldFrom = done + (maybe ? 2 : 1);
    if (maybe) PrintMessage(ConsoleError, MsgBlockMaybe, done + 1, total);
    if (oldFrom <= blocks) PrintMessage(ConsoleError, MsgBlocksOld, oldFrom, blocks, total);
}

ExitCode Run(TransferAction action, DataKind kind, const char* openedPath, const char* givenName,
             BlockSpan span, std::iostream* held) {
    TransferJob.action = action;
    TransferJob.kind = kind;
    blocksDone = span.fromBlock;
    frameOut = false;
    // Like every action of the window: the port is opened afresh, so the
    // controller sees a clean line. Unlike the window, only the port the
    // controller was found on: a command never mixes two controllers.
    ExitCode reopened = ReopenFoundPort();
    if (reopened != ExitDone) return reopened;
    // The blocks the file fills (a read's target fills the region), measured once: what the
    // transfer moves, for a program's progress, and where a write that ends early stood.
    unsigned long fileBlocks = LookUpRegion(kind).blockCount;
    if (action != ActionReadFromDevice) {
        long long size = -1;
        if (held == nullptr) {
            size = FileSizeOf(openedPath);
        } else {
            size = (long long)held->seekg(0, std::ios::end).tellg();
            held->seekg(0);
        }
        fileBlocks = BlocksOfSize(kind, size);
    }
    ExpectRegionBlocks(span.blocks > 0 ? span.fromBlock + span.blocks : fileBlocks);
    StartOutcome started = held != nullptr ? StartTransferOnFile(*held, openedPath, givenName, span)
                           : action == ActionReadFromDevice
                               ? StartReadIntoPreparedFile(openedPath, givenName, span)
                               : StartTransferIntoFile(openedPath, givenName, span);
    if (started != StartRunning) return ExitCodeOfStart(started);
    PumpOutcome pumped = PumpTransfer();
    retriedBlocks += (unsigned long)TransferJob.blocksRetried;
    blocksDone = (unsigned long)(TransferJob.nextBlock - TransferJob.firstBlock);
    frameOut = TransferJob.blockFrameSent;
    if (pumped == PumpInterrupted) {
        BreakProgressLine();
        PrintMessage(ConsoleError, MsgInterrupted);
    }
    ExitCode code = pumped == PumpInterrupted ? ExitInterrupted : ExitCodeOf(TransferJob.failure);
    if (code != ExitDone && action == ActionWriteToDevice) ReportStoppedWrite(kind, fileBlocks);
    return code;
}

}  // namespace

ExitCode RunRegionTransfer(TransferAction action, DataKind kind, const char* openedPath,
                           const char* givenName, BlockSpan span, std::iostream* held) {
    ExitCode code = Run(action, kind, openedPath, givenName, span, held);
    EventRegionEnd(BlocksDone(), code);
    ReleaseTransferFiles();
    if (held != nullptr) held->clear();
    return code;
}

unsigned long BlocksDone() { return blocksDone; }

bool BlockMayBeWritten() { return frameOut; }

unsigned long RetriedBlocks() { return retriedBlocks; }

unsigned long BlocksOfSize(DataKind kind, long long size) {
    unsigned long region = LookUpRegion(kind).blockCount;
    if (size < 0 || size >= (long long)region * BlockSize) return region;
    return (unsigned long)(size / BlockSize) + 1;
}

unsigned long BlocksOfFile(DataKind kind, const char* path) {
    return BlocksOfSize(kind, FileSizeOf(path));
}

void ReportWrittenBlocks(DataKind kind, long long size, unsigned from) {
    unsigned long total = LookUpRegion(kind).blockCount;
    unsigned long last = BlocksOfSize(kind, size);
    if (last >= total || size < 0) return;
    // A file of whole blocks is followed by a block of zeros, as the window
    // sends it; any other file's last block is filled up with them.
    std::string filled =
        SayFormatted(size % BlockSize == 0 ? MsgLastBlockZeros : MsgLastBlockFilled, last);
    std::string written =
        from + 1 == last ? SayFormatted(MsgOneBlockWritten, last, total)
                         : SayFormatted(MsgBlocksWritten, (unsigned long)from + 1, last, total);
    std::string kept = last + 1 == total ? SayFormatted(MsgOneBlockKept, total)
                                         : SayFormatted(MsgBlocksKept, last + 1, total);
    PrintMessage(ConsoleOut, MsgWrittenBlocks, written.c_str(), filled.c_str(), kept.c_str());
}

// A file into its region, from its first block or, to finish a write that was
// cut short, from a later one on the same controller.
#include <string>

#include "cli/commands/commands.h"
#include "cli/commands/continue_command.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/operator_console.h"
#include "cli/console/progress.h"
#include "cli/system/files.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/differences.h"
#include "cli/transfers/file_checks.h"
#include "cli/transfers/region_transfer.h"
#include "cli/transfers/same_controller.h"
#include "protocol/frames.h"
#include "cli/console/transfer_texts.h"

namespace {

// The write went as far as the controller confirmed: what to run to finish it.
void ReportHowToFinish(const CommandLine& line) {
    unsigned long next = BlocksDone() + 1;
    if (next > 1)
        PrintMessage(ConsoleError, MsgFinishWriteWith,
                     ContinueCommand(line, "--from-block " + std::to_string(next)).c_str());
    else
        PrintMessage(ConsoleError, MsgWriteAgain, ContinueCommand(line, "").c_str());
}

}  // namespace

// With --verify the blocks just written are read back and compared: a
// controller can acknowledge a block and still store it wrong, and only a
// read-back shows it (the protocol has no checksum of a region).
ExitCode RunWriteCommand(const CommandLine& line) {
    ExitCode checked = CheckExtension(line.kind, line.path);
    if (checked == ExitDone) checked = CheckSourceFile(line.kind, line.path, true);
    if (checked != ExitDone) return checked;
    const char* path = line.path.c_str();
    unsigned long fileBlocks = BlocksOfFile(line.kind, path);
    unsigned from = line.fromBlock > 0 ? unsigned(line.fromBlock - 1) : 0;
    if (from >= fileBlocks) {
        PrintMessage(ConsoleError, MsgFromBlockBeyondFile, line.fromBlock, path, fileBlocks);
        return ExitUsage;
    }
    ExitCode found = FindController(line.port, line.quiet);
    if (found != ExitDone) return found;
    // Going on after blocks an earlier write put there: only if they are there.
    if (from > 0) {
        ExitCode same = CheckSameBlock(line.kind, path, path, from - 1);
        if (same != ExitDone) return same;
    }
    unsigned long blocks = fileBlocks - from;
    BeginProgress(ProgressStyleFor(line.quiet), line.readBack ? 2 * blocks : blocks);
    BlockSpan span = {from, 0};
    ExitCode code = RunRegionTransfer(ActionWriteToDevice, line.kind, path, path, span);
    if (code != ExitDone) {
        EndProgress(nullptr);
        if (code == ExitLineFailed || code == ExitInterrupted) ReportHowToFinish(line);
        return code;
    }
    CompleteRegion();
    std::string what = ActionText();
    std::string done = BlockCount(blocks);
    if (line.readBack) {
        // The zero fill after the file's end went to the controller too.
        ConsoleReport.fillWritten = true;
        code = RunRegionTransfer(ActionVerify, line.kind, path, path, span);
        done = SayFormatted(MsgWrittenReadBack, BlockCount(blocks).c_str(), blocks);
    }
    ExitCode ended = EndComparison(code, what.c_str(), done);
    if (ended == ExitDone && !line.quiet) ReportWrittenBlocks(line.kind, FileSizeOf(path), from);
    return ended;
}

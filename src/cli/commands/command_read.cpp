// A region into a file, gathered in FILE.part and put in FILE's place once
// whole; --resume finishes a part an earlier read left, from the controller
// it came from only.
#include <iostream>
#include <string>

#include "cli/commands/commands.h"
#include "cli/commands/continue_command.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/progress.h"
#include "cli/system/files.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/file_checks.h"
#include "cli/transfers/part_files.h"
#include "cli/transfers/region_transfer.h"
#include "cli/transfers/resume_record.h"
#include "cli/transfers/same_controller.h"
#include "protocol/frames.h"
#include "protocol/regions.h"
#include "cli/console/transfer_texts.h"

namespace {

// Before fromBlock of a resumed read: the part's record names the controller,
// the one found is it, and it still holds the part's last whole block.
ExitCode CheckResumeOnSameController(const CommandLine& line, unsigned fromBlock, HeldFile& held) {
    std::string part = held.path;
    ResumeRecord record;
    if (ReadResumeRecord(PartRecordPathOf(line.path), &record) != RecordRead) {
        PrintMessage(ConsoleError, MsgReadUnknownOrigin, part.c_str(),
                     PartRecordPathOf(line.path).c_str());
        PrintMessage(ConsoleError, MsgForceInsteadOfResume);
        return ExitFileFailed;
    }
    ExitCode same = CheckSameVersions(record);
    if (same == ExitDone)
        same = CheckSameBlock(line.kind, part.c_str(), line.path.c_str(), fromBlock - 1,
                              held.stream.get());
    return same;
}

bool RecordController(const CommandLine& line) {
    ResumeRecord record;
    record.port = FoundPortName();
    FoundControllerVersions(&record.firmwareVersion, &record.secondVersion);
    record.kind = line.kind;
    unsigned long error = WriteResumeRecord(PartRecordPathOf(line.path), record);
    if (error == 0) return true;
    PrintMessage(ConsoleError, MsgCannotWriteFile, PartRecordPathOf(line.path).c_str());
    ShowSystemReason(error);
    return false;
}

}  // namespace

ExitCode RunReadCommand(const CommandLine& line) {
    ExitCode ready = CheckExtension(line.kind, line.path);
    if (ready != ExitDone) return ready;
    unsigned fromBlock = 0;
    HeldFile held;
    ready = CheckReadTarget(line.path, line.kind, ReadChoice{line.force, line.resume, true},
                            &fromBlock, &held);
    if (ready != ExitDone) return ready;
    ExitCode found = FindController(line.port, line.quiet);
    if (found != ExitDone) return found;
    if (fromBlock > 0) {
        ready = CheckResumeOnSameController(line, fromBlock, held);
        if (ready != ExitDone) return ready;
    }
    // Made only now: a read that finds no controller leaves no empty part behind.
    ready = PreparePartFile(line.path, fromBlock, &held);
    if (ready == ExitDone && !RecordController(line)) ready = ExitFileFailed;
    if (ready != ExitDone) return ready;
    std::string part = held.path;
    unsigned long blocks = LookUpRegion(line.kind).blockCount;
    if (fromBlock > 0 && !line.quiet)
        PrintMessage(ConsoleError, MsgResumingRead, part.c_str(), fromBlock, fromBlock + 1, blocks);
    BeginProgress(ProgressStyleFor(line.quiet), blocks - fromBlock, fromBlock);
    ExitCode code =
        RunRegionTransfer(ActionReadFromDevice, line.kind, part.c_str(), line.path.c_str(),
                          BlockSpan{fromBlock, 0}, held.stream.get());
    if (code != ExitDone) {
        EndProgress(nullptr);
        ReportPartFile(line.path);
        PrintMessage(ConsoleError, MsgFinishReadWith, ContinueCommand(line, "--resume").c_str());
        return code;
    }
    CompleteRegion();
    code = PutPartInPlace(line.path, held);
    if (code == ExitDone) RemoveFileOrLink(PartRecordPathOf(line.path).c_str());
    std::string what = ActionText();
    EndProgress(code == ExitDone ? what.c_str() : nullptr);
    return code;
}

// A backup folder back onto a controller, each region read back after it is
// written. The whole folder is checked against its manifest before the first
// byte is sent, and the restore stays with the controller it found for all
// three regions. Where it stopped is kept in DIR/restore-progress.json (or in
// the user's state folder when DIR cannot be written), so --resume goes on
// there, on the same controller only.
#include <cstdio>
#include <sstream>
#include <string>

#include "cli/backup/backup_check.h"
#include "cli/commands/commands.h"
#include "cli/commands/continue_command.h"
#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "cli/console/exit_codes.h"
#include "cli/console/operator_console.h"
#include "cli/console/progress.h"
#include "cli/system/files.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/differences.h"
#include "cli/transfers/part_files.h"
#include "cli/transfers/region_transfer.h"
#include "cli/transfers/resume_record.h"
#include "cli/transfers/same_controller.h"
#include "protocol/frames.h"
#include "protocol/regions.h"

namespace {

enum RegionState {
    RegionUntouched = 0,
    RegionPartlyWritten,  // the write failed or was stopped in mid-region
    RegionWritten,        // written, not (yet) read back
    RegionRestored,       // written and read back equal
    RegionDiffers,        // written, but the controller holds something else
};

const char* StateWord(RegionState state, bool readBack) {
    switch (state) {
    case RegionUntouched: return Say(MsgRegionUntouched);
    case RegionPartlyWritten: return Say(MsgRegionPartlyWritten);
    case RegionWritten: return Say(readBack ? MsgRegionWrittenUnchecked : MsgRegionWritten);
    case RegionRestored: return Say(MsgRegionRestored);
    case RegionDiffers: return Say(MsgRegionDiffers);
    }
    return "";
}

// Which regions now hold the backup and which do not: the technician must
// know what to put right after a restore that did not end whole.
void ReportRegionStates(const RegionState states[DataKindCount], bool readBack) {
    std::string line = Say(MsgRegionsHead);
    for (DataKind kind : AllDataKinds)
        line += std::string(kind != KindFirmware ? ", " : " ") + FactsOf(kind).word + " " +
                StateWord(states[kind], readBack);
    PrintLine(ConsoleError, "%s", line.c_str());
}

const char ProgressFileName[] = "restore-progress.json";

// The two places a restore's progress may be: in the folder, or, for a folder
// that cannot be written (a backup on a read-only stick), in the user's state
// folder under a name made from the folder's whole path.
std::string ProgressPathInFolder(const std::string& folder) {
    return PathInFolder(folder, ProgressFileName);
}

std::string ProgressPathInState(const std::string& folder) {
    std::string state = UserStateFolder();
    if (state.empty()) return "";
    char name[64];
    std::snprintf(name, sizeof name, "restore-progress-%08lx.json",
                  ShortHash(AbsolutePath(folder)));
    return PathInFolder(state, name);
}

unsigned long BlocksOf(const CheckedBackup& backup, DataKind kind) {
    return BlocksOfSize(kind, (long long)backup.contents[kind].size());
}

// Where the run stands, kept at each region's end and whenever it stops.
struct RestoreRun {
    const CommandLine& line;
    ResumeRecord record;
    RegionState states[DataKindCount] = {RegionUntouched, RegionUntouched, RegionUntouched};

    void Keep() {
        if (WriteResumeRecord(ProgressPathInFolder(line.path), record) == 0) return;
        std::string state = ProgressPathInState(line.path);
        if (!state.empty() && WriteResumeRecord(state, record) == 0) return;
        PrintMessage(ConsoleError, MsgRestoreProgressNotKept, line.path.c_str());
    }

    void Forget() {
        RemoveFileOrLink(ProgressPathInFolder(line.path).c_str());
        std::string state = ProgressPathInState(line.path);
        if (!state.empty()) RemoveFileOrLink(state.c_str());
    }
};

// The record of the restore to resume, from the folder or the state folder.
ExitCode ReadProgress(const std::string& folder, ResumeRecord* record) {
    std::string paths[2] = {ProgressPathInFolder(folder), ProgressPathInState(folder)};
    for (const std::string& path : paths) {
        if (path.empty()) continue;
        ResumeRecordOutcome read = ReadResumeRecord(path, record);
        if (read == RecordRead) return ExitDone;
        if (read == RecordInvalid) {
            PrintMessage(ConsoleError, MsgRestoreRecordDamaged, path.c_str());
            return ExitFileFailed;
        }
    }
    PrintMessage(ConsoleError, MsgNothingToResume, folder.c_str());
    PrintMessage(ConsoleError, MsgRestoreWithoutResume);
    return ExitFileFailed;
}

// One region: its write from block `from` on, then (unless told not to) its
// read-back, both of the bytes checked; the record and the states follow.
ExitCode RestoreRegion(RestoreRun& run, const CheckedBackup& backup, DataKind kind, unsigned from,
                       bool writeDone) {
    const char* file = backup.paths[kind].c_str();
    std::stringstream held(backup.contents[kind]);
    unsigned long blocks = BlocksOf(backup, kind);
    run.record.kind = kind;
    run.record.regionWritten = writeDone;
    run.record.blocksWritten = writeDone ? blocks : from;
    ExitCode code = ExitDone;
    if (!writeDone) {
        code = RunRegionTransfer(ActionWriteToDevice, kind, file, file, BlockSpan{from, 0}, &held);
        // A region no block reached is untouched, however the write ended.
        bool reached = BlocksDone() > from || BlockMayBeWritten() || from > 0;
        run.states[kind] = code == ExitDone ? RegionWritten
                           : reached        ? RegionPartlyWritten
                                            : RegionUntouched;
        run.record.blocksWritten = code == ExitDone ? blocks : BlocksDone();
        run.record.regionWritten = code == ExitDone;
        if (code != ExitDone) return code;
        CompleteRegion();
    }
    run.states[kind] = RegionWritten;
    if (!run.line.readBack) return ExitDone;
    unsigned long before = ConsoleReport.differences;
    code = RunRegionTransfer(ActionVerify, kind, file, file, WholeRegion, &held);
    ReportRegionDifferences(kind, before);
    if (code == ExitDone)
        run.states[kind] = ConsoleReport.differences > before ? RegionDiffers : RegionRestored;
    return code;
}

// The restore goes on after the last block the controller confirmed (in the
// region in hand, or at the end of the one before it): only if that block is
// in the controller as the backup has it.
ExitCode CheckBlockBeforeResume(const ResumeRecord& resumed, const CheckedBackup& backup) {
    DataKind kind = resumed.kind;
    unsigned long block = resumed.blocksWritten;
    if (resumed.regionWritten) {
        block = BlocksOf(backup, kind);
    } else if (block == 0) {
        if (kind == KindFirmware) return ExitDone;
        kind = DataKind(kind - 1);
        block = BlocksOf(backup, kind);
    }
    const char* path = backup.paths[kind].c_str();
    std::stringstream held(backup.contents[kind]);
    ExitCode same = CheckSameBlock(kind, path, path, unsigned(block - 1), &held);
    // A file of whole blocks ends with a block of zeros, which any blank
    // controller holds as well: the file's own last block must be there too.
    unsigned long dataBlocks = (backup.contents[kind].size() + BlockSize - 1) / BlockSize;
    if (same != ExitDone || block - 1 < dataBlocks || dataBlocks == 0) return same;
    std::stringstream again(backup.contents[kind]);
    return CheckSameBlock(kind, path, path, unsigned(dataBlocks - 1), &again);
}

}  // namespace

ExitCode RunRestoreCommand(const CommandLine& line) {
    RestoreRun run{line, ResumeRecord()};
    // What the read-back compares past a file's end is the zero fill it wrote.
    ConsoleReport.fillWritten = true;
    ResumeRecord resumed;
    if (line.resume) {
        ExitCode kept = ReadProgress(line.path, &resumed);
        if (kept != ExitDone) return kept;
    }
    CheckedBackup backup;
    ExitCode ready = PrepareFolderRun(line.path, FolderWritten, line.port, line.quiet, &backup);
    if (ready != ExitDone) return ready;
    unsigned from = 0;
    if (line.resume) {
        from = resumed.regionWritten ? 0 : unsigned(resumed.blocksWritten);
        ready = CheckSameVersions(resumed);
        if (ready == ExitDone) ready = CheckBlockBeforeResume(resumed, backup);
        if (ready != ExitDone) return ready;
    }
    run.record.port = FoundPortName();
    FoundControllerVersions(&run.record.firmwareVersion, &run.record.secondVersion);
    run.record.readBack = line.readBack;

    DataKind first = line.resume ? resumed.kind : KindFirmware;
    unsigned long written = 0, readBack = 0;
    for (DataKind kind : AllDataKinds) {
        unsigned long of = BlocksOf(backup, kind);
        if (kind < first) continue;
        bool writeDone = kind == first && line.resume && resumed.regionWritten;
        written += writeDone ? 0 : of - (kind == first ? from : 0);
        readBack += line.readBack ? of : 0;
    }
    // Regions a resumed restore finished before it stopped hold the backup.
    for (DataKind kind : AllDataKinds)
        if (kind < first) run.states[kind] = line.readBack ? RegionRestored : RegionWritten;
    BeginProgress(ProgressStyleFor(line.quiet), written + readBack);
    ExitCode code = ExitDone;
    for (DataKind kind : AllDataKinds) {
        if (kind < first) continue;
        bool writeDone = kind == first && line.resume && resumed.regionWritten;
        code = RestoreRegion(run, backup, kind, kind == first ? from : 0, writeDone);
        if (code != ExitDone) break;
        CompleteRegion();
        // The next region's start is where a resume goes on from now.
        if (kind != KindScenes) {
            run.record.kind = DataKind(kind + 1);
            run.record.blocksWritten = 0;
            run.record.regionWritten = false;
            run.Keep();
        }
    }
    std::string what = SayFormatted(MsgRestoreWhat, line.path.c_str());
    std::string done = SayFormatted(MsgWrote, BlockCount(written).c_str());
    if (line.readBack) done += SayFormatted(MsgReadBackAlso, (unsigned long)readBack);
    ExitCode ended = EndComparison(code, what.c_str(), done);
    // Every region was written (and read back): nothing is left to resume,
    // whatever the comparison found.
    if (code == ExitDone) run.Forget();
    if (ended == ExitDone) return ExitDone;
    ReportRegionStates(run.states, line.readBack);
    if (code != ExitDone) {
        run.Keep();
        PrintMessage(ConsoleError, MsgToFinish, ContinueCommand(line, "--resume").c_str());
    }
    return ended;
}

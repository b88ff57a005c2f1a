// A backup folder back onto a controller, each region read back after it is
// written. The whole folder is checked against its manifest before the first
// byte is sent, and the restore stays with the controller it found for all
// three regions. Where it stopped is kept in DIR/restore-progress-PORT.json
// (or in the user's state folder when DIR cannot be written), one record per
// port, so that one backup is restored onto several controllers at once and
// --resume goes on where each stopped, on the same controller only.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
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
#include "cli/system/system_ports.h"
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

// The record of one folder, kept by versions before several controllers
// could restore it at once: still resumed from.
const char SharedProgressFileName[] = "restore-progress.json";

// A port's name as a file name: its last part (ttyUSB0, COM3), any other
// character than a letter, a digit, '.', '-' or '_' as '_'.
std::string PortFileTag(const std::string& port) {
    std::string tag = NameInPath(port);
    for (char& c : tag)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            c = '_';
    return tag;
}

// The places a restore's progress may be: in the folder, or, for a folder
// that cannot be written (a backup on a read-only stick), in the user's state
// folder under a name made from the folder's whole path and the port.
std::string ProgressPathInFolder(const std::string& folder, const std::string& port) {
    return PathInFolder(folder, ("restore-progress-" + PortFileTag(port) + ".json").c_str());
}

std::string ProgressPathInState(const std::string& folder, const std::string& port) {
    std::string state = UserStateFolder();
    if (state.empty()) return "";
    std::string whole = AbsolutePath(folder);
    if (!port.empty()) whole += "\n" + port;
    char name[64];
    std::snprintf(name, sizeof name, "restore-progress-%08lx.json", ShortHash(whole));
    return PathInFolder(state, name);
}

unsigned long BlocksOf(const CheckedBackup& backup, DataKind kind) {
    return BlocksOfSize(kind, (long long)backup.contents[kind].size());
}

// Where the run stands, kept at each region's end and whenever it stops.
struct RestoreRun {
    const CommandLine& line;
    ResumeRecord record;
    std::string resumedFrom;  // the record of another port, or the shared one, taken over
    RegionState states[DataKindCount] = {RegionUntouched, RegionUntouched, RegionUntouched};

    void Keep() {
        if (WriteResumeRecord(ProgressPathInFolder(line.path, record.port), record) == 0) return;
        std::string state = ProgressPathInState(line.path, record.port);
        if (!state.empty() && WriteResumeRecord(state, record) == 0) return;
        PrintMessage(ConsoleError, MsgRestoreProgressNotKept, line.path.c_str());
    }

    void Forget() {
        for (const std::string& path : {ProgressPathInFolder(line.path, record.port),
                                        ProgressPathInState(line.path, record.port), resumedFrom})
            if (!path.empty()) RemoveFileOrLink(path.c_str());
    }
};

// The records in the folder of restores on other ports than port.
std::vector<std::string> OtherPortsRecords(const std::string& folder, const std::string& port) {
    std::vector<std::string> found;
    std::error_code error;
    const std::string own = ProgressPathInFolder(folder, port);
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("restore-progress-", 0) != 0 || name.size() < 22 ||
            name.compare(name.size() - 5, 5, ".json") != 0)
            continue;
        std::string path = PathInFolder(folder, name.c_str());
        if (path != own) found.push_back(path);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The record of the restore on port to resume: the port's own, in the folder
// or the state folder; the shared record of an older version; or the one of a
// port that is gone (an adapter plugged in again gets another name). A record
// of another port that is still there is that port's to finish.
ExitCode ReadProgress(RestoreRun& run, const std::string& port, ResumeRecord* record) {
    const std::string& folder = run.line.path;
    const std::string paths[4] = {
        ProgressPathInFolder(folder, port), ProgressPathInState(folder, port),
        PathInFolder(folder, SharedProgressFileName), ProgressPathInState(folder, "")};
    for (int i = 0; i < 4; ++i) {
        const std::string& path = paths[i];
        if (path.empty()) continue;
        ResumeRecordOutcome read = ReadResumeRecord(path, record);
        if (read == RecordRead) {
            // The shared record, once taken over, goes with this port's own.
            if (i >= 2) run.resumedFrom = path;
            return ExitDone;
        }
        if (read == RecordInvalid) {
            PrintMessage(ConsoleError, MsgRestoreRecordDamaged, path.c_str());
            return ExitFileFailed;
        }
    }
    std::vector<std::string> present;
    for (const PortIdentity& identity : ListSystemPorts(HoldNotAsked))
        present.push_back(identity.name);
    std::vector<std::string> others = OtherPortsRecords(folder, port);
    std::vector<std::string> gone;
    for (const std::string& path : others) {
        ResumeRecord other;
        if (ReadResumeRecord(path, &other) == RecordRead &&
            std::find(present.begin(), present.end(), other.port) == present.end())
            gone.push_back(path);
    }
    if (gone.size() == 1 && ReadResumeRecord(gone[0], record) == RecordRead) {
        PrintMessage(ConsoleError, MsgResumingGonePort, record->port.c_str());
        run.resumedFrom = gone[0];
        return ExitDone;
    }
    PrintMessage(ConsoleError, MsgNothingToResume, folder.c_str(), port.c_str());
    for (const std::string& path : others) {
        ResumeRecord other;
        if (ReadResumeRecord(path, &other) == RecordRead)
            PrintMessage(ConsoleError, MsgRecordOfPort, ShownText(other.port).c_str(),
                         path.c_str());
    }
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
    RestoreRun run{line, ResumeRecord(), ""};
    // What the read-back compares past a file's end is the zero fill it wrote.
    ConsoleReport.fillWritten = true;
    ResumeRecord resumed;
    // The backup is only read: restores onto other controllers share it.
    CheckedBackup backup;
    ExitCode ready = PrepareFolderRun(line.path, line.port, line.quiet, &backup);
    if (ready != ExitDone) return ready;
    unsigned from = 0;
    if (line.resume) {
        ready = ReadProgress(run, FoundPortName(), &resumed);
        if (ready != ExitDone) return ready;
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

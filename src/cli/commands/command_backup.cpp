// All three regions into one folder, with the manifest and SHA256SUMS that
// describe them. The five files are replaced together, only once all three
// regions have arrived and been described, so a backup is never a mixture of
// an old one and a new one.
#include <cerrno>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "cli/backup/backup_check.h"
#include "cli/backup/backup_manifest.h"
#include "cli/system/system_ports.h"
#include "cli/backup/folder_lock.h"
#include "cli/backup/replace_together.h"
#include "cli/backup/sha256.h"
#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/console_text.h"
#include "cli/console/exit_codes.h"
#include "cli/console/progress.h"
#include "cli/system/files.h"
#include "cli/system/held_file.h"
#include "cli/transfers/controller_search.h"
#include "cli/transfers/part_files.h"
#include "cli/transfers/region_transfer.h"
#include "protocol/frames.h"
#include "protocol/regions.h"

namespace {

// The three regions' files by DataKind, then the manifest and the sums.
const int BackupFileCount = 5;
const int ManifestIndex = 3;
const int SumsIndex = 4;

// The manifest and the sums into their held parts; false with the failing
// file and the system's reason shown.
bool WriteDescription(const std::string& folder, std::vector<HeldFile>& parts,
                      const BackupManifest& manifest) {
    const std::string texts[2] = {ManifestText(manifest), Sha256SumsText(manifest)};
    for (int i = ManifestIndex; i <= SumsIndex; ++i) {
        if (WriteHeldFile(parts[i], texts[i - ManifestIndex]) == FileOperationDone) continue;
        // The streams leave errno as the C library set it, on every system.
        int error = errno;
        PrintMessage(ConsoleError, MsgCannotWriteManifest, folder.c_str());
        ShowFileReason(parts[i].path.c_str(), error);
        return false;
    }
    return true;
}

// The manifest (its versions already in place) of the three gathered parts,
// each hashed as written, through what holds it; false with the reason shown
// when one cannot be read back.
bool DescribeGatheredRegions(std::vector<HeldFile>& parts, BackupManifest* manifest) {
    manifest->program = std::string("dm730 ") + SELVO_VERSION;
    manifest->created = UtcTimestamp(std::time(nullptr));
    manifest->port = Utf8FromMixedText(FoundPortName());
    manifest->hasAdapter = true;
    manifest->adapter = AdapterOf(IdentityOfPort(FoundPortName()));
    for (std::string* text : {&manifest->adapter.product, &manifest->adapter.serialNumber,
                              &manifest->adapter.location, &manifest->adapter.byId})
        *text = Utf8FromMixedText(text->c_str());
    for (DataKind kind : AllDataKinds) {
        std::string bytes;
        Sha256Digest digest;
        if (ReadHeldFile(parts[kind], &bytes) != FileOperationDone ||
            HashBytesSha256(bytes, &digest) != Sha256Done) {
            PrintMessage(ConsoleError, MsgCannotHash, parts[kind].path.c_str());
            return false;
        }
        manifest->regions[kind] = DescribeRegionFile(kind, FactsOf(kind).backupFileName, digest);
    }
    return true;
}

void ReportPartFiles(const std::string& folder, const std::vector<HeldFile>& parts) {
    PrintMessage(ConsoleError, MsgBackupUnchanged, folder.c_str());
    for (const HeldFile& part : parts)
        if (!part.path.empty() && FileSizeOf(part.path.c_str()) >= 0)
            PrintMessage(ConsoleError, MsgIndented, part.path.c_str());
}

// The folder, made only once a controller answered (a backup that finds none
// leaves nothing behind), and held against another dm730 from then on.
ExitCode MakeAndHoldFolder(const std::string& folder) {
    if (KindOfPath(folder.c_str(), true) != PathFolder &&
        MakeFolderWithParents(folder) != FileOperationDone) {
        unsigned long error = LastFileError();
        PrintMessage(ConsoleError, MsgCannotMakeFolder, folder.c_str());
        ShowSystemReason(error);
        return ExitFileFailed;
    }
    return HoldBackupFolder(folder, true);
}

}  // namespace

ExitCode RunBackupCommand(const CommandLine& line) {
    // A folder already there is held from the start: a second backup into it
    // must not even look at its files.
    ExitCode ready = HoldBackupFolder(line.path, true);
    if (ready != ExitDone) return ready;
    std::vector<std::string> paths;
    for (int i = 0; i < BackupFileCount; ++i) {
        const char* name = i < DataKindCount    ? DataKindTable[i].backupFileName
                           : i == ManifestIndex ? ManifestFileName
                                                : SumsFileName;
        paths.push_back(PathInFolder(line.path, name));
    }
    // Leftovers of an interrupted swap are said before anything else; with
    // --force they are set aside once a controller has answered.
    if (!line.force) ready = SetLeftoversAside(line.path, paths, ManifestIndex, false);
    for (int i = 0; i < BackupFileCount && ready == ExitDone; ++i) {
        // The manifest and the sums are checked as a region's file is (the
        // kind only matters to --resume, which a backup does not take).
        unsigned fromBlock = 0;
        HeldFile none;
        ready = CheckReadTarget(paths[i], i < DataKindCount ? DataKind(i) : KindFirmware,
                                ReadChoice{line.force, false, false}, &fromBlock, &none);
    }
    if (ready != ExitDone) return ready;
    ExitCode found = FindController(line.port, line.quiet);
    if (found != ExitDone) return found;
    ready = MakeAndHoldFolder(line.path);
    // With --force, what an earlier backup left is set aside whole, never removed.
    if (ready == ExitDone) ready = SetLeftoversAside(line.path, paths, ManifestIndex, line.force);
    if (ready != ExitDone) return ready;
    // The regions' parts now; the manifest's and the sums' only once there is
    // something to put in them, so a failed read leaves no empty ones behind.
    std::vector<HeldFile> parts(BackupFileCount);
    for (DataKind kind : AllDataKinds) {
        ready = PreparePartFile(paths[kind], 0, &parts[kind]);
        if (ready != ExitDone) return ready;
    }
    BackupManifest manifest;
    FoundControllerVersions(&manifest.firmwareVersion, &manifest.secondVersion);
    BeginProgress(ProgressStyleFor(line.quiet), DeviceBlockCount);
    for (DataKind kind : AllDataKinds) {
        ExitCode code =
            RunRegionTransfer(ActionReadFromDevice, kind, parts[kind].path.c_str(),
                              paths[kind].c_str(), WholeRegion, parts[kind].stream.get());
        if (code != ExitDone) {
            EndProgress(nullptr);
            for (int j = KindFirmware; j <= kind; ++j) ReportPartFile(paths[j]);
            return code;
        }
        CompleteRegion();
    }
    ExitCode code = DescribeGatheredRegions(parts, &manifest) ? ExitDone : ExitFileFailed;
    if (code == ExitDone) code = PreparePartFile(paths[ManifestIndex], 0, &parts[ManifestIndex]);
    if (code == ExitDone) code = PreparePartFile(paths[SumsIndex], 0, &parts[SumsIndex]);
    if (code == ExitDone && !WriteDescription(line.path, parts, manifest)) code = ExitFileFailed;
    if (code == ExitDone) code = ReplaceFilesTogether(paths, parts);
    if (code != ExitDone) {
        EndProgress(nullptr);
        ReportPartFiles(line.path, parts);
        return code;
    }
    std::string what = SayFormatted(MsgBackupWhat, line.path.c_str());
    EndProgress(what.c_str());
    return ExitDone;
}

#include "cli/backup/replace_together.h"

#include <cstdio>
#include <ctime>
#include <iostream>

#include "cli/console/console_output.h"
#include "cli/backup/backup_manifest.h"
#include "cli/backup/sha256.h"
#include "cli/system/files.h"
#include "cli/transfers/part_files.h"

namespace {

// Where an old file waits while the new set moves in.
std::string AsideNameOf(const std::string& path) { return path + ".old"; }

// Said at once, before a roll-back's own moves can change the system's reason.
void ShowReplaceFailure(const std::string& path) {
    unsigned long error = LastFileError();
    PrintMessage(ConsoleError, MsgCannotReplace, path.c_str());
    ShowSystemReason(error);
}

// Undoes the first movedIn moves of new files and every move aside. A move
// back that fails is named with where that file's content now is.
void RollBack(const std::vector<std::string>& paths, const std::vector<std::string>& parts,
              size_t movedIn, const std::vector<bool>& aside) {
    for (size_t i = 0; i < movedIn; ++i)
        if (MoveFileOver(paths[i].c_str(), parts[i].c_str()) != FileOperationDone)
            PrintMessage(ConsoleError, MsgCannotUndoReplace, paths[i].c_str());
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!aside[i]) continue;
        std::string old = AsideNameOf(paths[i]);
        if (MoveFileOver(old.c_str(), paths[i].c_str()) != FileOperationDone)
            PrintMessage(ConsoleError, MsgCannotRestoreOld, paths[i].c_str(), old.c_str());
    }
}

// Whether the three regions' files and the manifest of one set agree.
bool IsWholeSet(const std::vector<std::string>& files, size_t manifestIndex) {
    std::string text, problem;
    BackupManifest manifest;
    if (ReadWholeFile(files[manifestIndex].c_str(), 65536, &text) != WholeFileRead ||
        ParseManifest(text, &manifest, &problem) != ManifestValid)
        return false;
    for (DataKind kind : AllDataKinds) {
        std::string bytes;
        Sha256Digest digest;
        if (ReadWholeFile(files[kind].c_str(), RegionBytes(kind), &bytes) != WholeFileRead ||
            HashBytesSha256(bytes, &digest) != Sha256Done ||
            digest.hex != manifest.regions[kind].sha256)
            return false;
    }
    return true;
}

void SayWhetherWhole(MessageId whole, MessageId notWhole, const std::vector<std::string>& files,
                     size_t manifestIndex) {
    PrintMessage(ConsoleError, IsWholeSet(files, manifestIndex) ? whole : notWhole,
                 files[manifestIndex].c_str());
}

}  // namespace

ExitCode SetLeftoversAside(const std::string& folder, const std::vector<std::string>& paths,
                           size_t manifestIndex, bool force) {
    std::vector<std::string> left;
    bool setAside = false;
    // Each file of the earlier set is where the interrupted swap left it: aside
    // or still in place; each of the later one moved in, or still a part.
    std::vector<std::string> earlier, later;
    for (const std::string& path : paths) {
        std::string old = AsideNameOf(path);
        bool hasOld = KindOfPath(old.c_str(), false) != PathMissing;
        bool hasPart = KindOfPath(PartPathOf(path).c_str(), false) != PathMissing;
        setAside = setAside || hasOld;
        if (hasOld) left.push_back(old);
        if (hasPart) left.push_back(PartPathOf(path));
        earlier.push_back(hasOld ? old : path);
        later.push_back(hasPart ? PartPathOf(path) : path);
    }
    if (left.empty()) return ExitDone;
    // Parts alone are an earlier backup's that never got to its swap: the
    // read checks name them, and --force replaces them, unless they are a
    // whole set of their own.
    if (!setAside && (!force || !IsWholeSet(later, manifestIndex))) return ExitDone;
    if (!force) {
        PrintMessage(ConsoleError, MsgLeftOverFiles, folder.c_str());
        for (const std::string& file : left) PrintMessage(ConsoleError, MsgIndented, file.c_str());
        SayWhetherWhole(MsgEarlierBackupWhole, MsgEarlierBackupNotWhole, earlier, manifestIndex);
        SayWhetherWhole(MsgNewBackupWhole, MsgNewBackupNotWhole, later, manifestIndex);
        PrintMessage(ConsoleError, MsgForceMovesAside, folder.c_str());
        return ExitFileFailed;
    }
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", std::gmtime(&now));
    std::string aside = PathInFolder(folder, (std::string("przerwana-wymiana-") + stamp).c_str());
    if (MakeFolderWithParents(aside) != FileOperationDone) {
        PrintMessage(ConsoleError, MsgCannotMakeFolder, aside.c_str());
        ShowSystemReason(LastFileError());
        return ExitFileFailed;
    }
    for (const std::string& file : left) {
        std::string to = PathInFolder(aside, NameInPath(file).c_str());
        if (MoveFileOver(file.c_str(), to.c_str()) == FileOperationDone) continue;
        PrintMessage(ConsoleError, MsgCannotMove, file.c_str(), aside.c_str());
        ShowSystemReason(LastFileError());
        return ExitFileFailed;
    }
    PrintMessage(ConsoleError, MsgMovedAside, aside.c_str());
    return ExitDone;
}

ExitCode ReplaceFilesTogether(const std::vector<std::string>& paths, std::vector<HeldFile>& held) {
    std::vector<std::string> parts;
    for (HeldFile& part : held) {
        part.stream->flush();
        parts.push_back(part.path);
    }
    std::vector<bool> aside(paths.size(), false);
    // Only ordinary files are moved aside: anything else in the way (a
    // folder) makes the move in fail, and the set goes back.
    for (size_t i = 0; i < paths.size(); ++i) {
        if (KindOfPath(paths[i].c_str(), true) != PathRegular) continue;
        if (MoveFileOver(paths[i].c_str(), AsideNameOf(paths[i]).c_str()) != FileOperationDone) {
            ShowReplaceFailure(paths[i]);
            RollBack(paths, parts, 0, aside);
            return ExitFileFailed;
        }
        aside[i] = true;
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        // What goes into place is the file written and hashed, not whatever
        // was put under its name meanwhile.
        if (!IsHeldAt(held[i], parts[i])) {
            PrintMessage(ConsoleError, MsgBackupFileReplaced, parts[i].c_str());
            RollBack(paths, parts, i, aside);
            return ExitFileFailed;
        }
        TakePermissionsOf(held[i], paths[i]);
        if (MoveFileOver(parts[i].c_str(), paths[i].c_str()) != FileOperationDone) {
            ShowReplaceFailure(paths[i]);
            RollBack(paths, parts, i, aside);
            return ExitFileFailed;
        }
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!aside[i]) continue;
        std::string old = AsideNameOf(paths[i]);
        // The new set is whole either way; what is left is only in the way.
        if (std::remove(old.c_str()) != 0)
            PrintMessage(ConsoleError, MsgCannotRemoveOldContents, old.c_str());
    }
    return ExitDone;
}

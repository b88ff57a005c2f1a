#include "cli/transfers/part_files.h"

#include <cstdio>
#include <iostream>

#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/system/files.h"
#include "cli/system/held_file.h"
#include "protocol/regions.h"
#include "transfer/file_probe.h"

namespace {

const char PartSuffix[] = ".part";

size_t NameStart(const std::string& path) {
    size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? 0 : separator + 1;
}

// FNV-1a: short, stable on every system, enough to tell apart names cut alike.
unsigned long NameHash(const std::string& name) {
    unsigned long hash = 2166136261ul;
    for (unsigned char c : name) hash = ((hash ^ c) * 16777619ul) & 0xFFFFFFFFul;
    return hash;
}

void ShowFileProblem(const std::string& path, MessageId what, unsigned long error) {
    PrintMessage(ConsoleError, MsgFileProblem, path.c_str(), Say(what));
    if (error != 0) ShowSystemReason(error);
}

// A part that is not a plain file (a link, a folder, a device) is never read
// from, written to or followed. One to go on in is held open from here on.
ExitCode CheckPart(const std::string& part, const ReadChoice& choice, unsigned long regionBytes,
                   unsigned* fromBlock, HeldFile* held) {
    PathKind kind = KindOfPath(part.c_str(), false);
    if (kind == PathMissing) return ExitDone;
    if (kind == PathFolder || kind == PathOther) {
        ShowFileProblem(part, MsgPartNotRegular, 0);
        return ExitFileFailed;
    }
    if (choice.force && !choice.resume) return ExitDone;
    if (kind == PathLink) {
        PrintMessage(ConsoleError, MsgPartIsLink, part.c_str());
        return ExitFileFailed;
    }
    if (choice.resume && OpenHeldFile(part, held) != FileOperationDone) {
        ShowFileProblem(part, MsgCannotOpen, LastFileError());
        return ExitFileFailed;
    }
    long long size = choice.resume ? HeldFileSize(*held) : FileSizeOf(part.c_str());
    if (!choice.resume) {
        PrintMessage(ConsoleError, MsgPartExists, part.c_str(), size < 0 ? 0 : size / BlockSize);
        PrintMessage(ConsoleError, choice.resumeOffered ? MsgResumeOrForce : MsgForceToRestart);
        return ExitFileFailed;
    }
    if (size < 0 || (unsigned long long)size > regionBytes) {
        PrintMessage(ConsoleError, MsgPartTooLong, part.c_str(), size, regionBytes);
        return ExitFileFailed;
    }
    // The last block is always read again, so a resumed read talks to the controller.
    unsigned long whole = (unsigned long)(size / BlockSize);
    unsigned long blocks = regionBytes / BlockSize;
    *fromBlock = unsigned(whole < blocks ? whole : blocks - 1);
    return ExitDone;
}

}  // namespace

namespace {

// path with suffix after its name, the name cut to keep within the limit.
std::string SidePathOf(const std::string& path, const std::string& suffix) {
    size_t start = NameStart(path);
    std::string name = path.substr(start);
    if (name.size() + suffix.size() <= FileNameLimit) return path + suffix;
    char tag[16];
    std::snprintf(tag, sizeof tag, "~%08lx", NameHash(name));
    size_t keep = FileNameLimit - suffix.size() - 9;
    // Never cut a UTF-8 character in two.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return path.substr(0, start) + name.substr(0, keep) + tag + suffix;
}

}  // namespace

std::string PartPathOf(const std::string& path) { return SidePathOf(path, PartSuffix); }

std::string PartRecordPathOf(const std::string& path) {
    return SidePathOf(path, std::string(PartSuffix) + ".json");
}

unsigned long ShortHash(const std::string& text) { return NameHash(text); }

ExitCode CheckReadTarget(const std::string& path, DataKind kind, const ReadChoice& choice,
                         unsigned* fromBlock, HeldFile* part) {
    *fromBlock = 0;
    PathKind target = KindOfPath(path.c_str(), false);
    if (target == PathFolder || target == PathOther) {
        ShowFileProblem(path, MsgTargetNotRegular, 0);
        return ExitFileFailed;
    }
    if (target != PathMissing && !choice.force) {
        PrintMessage(ConsoleError, MsgTargetExists, path.c_str());
        return ExitFileFailed;
    }
    if (target == PathRegular && ProbeFile(path.c_str()) == FileReadOnly) {
        PrintMessage(ConsoleError, MsgFailNoWriteAccess, path.c_str());
        return ExitFileFailed;
    }
    unsigned long regionBytes = RegionBytes(kind);
    return CheckPart(PartPathOf(path), choice, regionBytes, fromBlock, part);
}

ExitCode PreparePartFile(const std::string& path, unsigned fromBlock, HeldFile* held) {
    if (fromBlock > 0) return ExitDone;
    // A record of an earlier read would speak for this one's blocks.
    RemoveFileOrLink(PartRecordPathOf(path).c_str());
    std::string part = PartPathOf(path);
    if (KindOfPath(part.c_str(), false) != PathMissing &&
        RemoveFileOrLink(part.c_str()) != FileOperationDone) {
        ShowFileProblem(part, MsgCannotRemoveOld, LastFileError());
        return ExitFileFailed;
    }
    if (CreateHeldFile(part, held) != FileOperationDone) {
        ShowFileProblem(part, MsgCannotCreate, LastFileError());
        return ExitFileFailed;
    }
    return ExitDone;
}

void ReportPartFile(const std::string& path) {
    std::string part = PartPathOf(path);
    if (KindOfPath(part.c_str(), false) != PathRegular) return;
    long long size = FileSizeOf(part.c_str());
    if (size < 0) return;
    MessageId fate =
        KindOfPath(path.c_str(), false) == PathMissing ? MsgTargetNotMade : MsgTargetUnchanged;
    PrintMessage(ConsoleError, MsgBlocksReadAreIn, path.c_str(), Say(fate), size / BlockSize,
                 part.c_str());
}

ExitCode PutPartInPlace(const std::string& path, HeldFile& held) {
    std::string part = held.path;
    held.stream->flush();
    if (!IsHeldAt(held, part)) {
        PrintMessage(ConsoleError, MsgPartReplaced, part.c_str(), path.c_str());
        return ExitFileFailed;
    }
    // The file it replaces keeps its permissions (one only its owner reads).
    TakePermissionsOf(held, path);
    if (MoveFileOver(part.c_str(), path.c_str()) == FileOperationDone) return ExitDone;
    PrintMessage(ConsoleError, MsgCannotReplaceWithPart, path.c_str(), part.c_str());
    ShowSystemReason(LastFileError());
    return ExitFileFailed;
}

#include "cli/transfers/file_checks.h"

#include "cli/console/console_output.h"
#include "cli/system/files.h"
#include "protocol/regions.h"
#include "transfer/start.h"

ExitCode CheckExtension(DataKind kind, const std::string& path) {
    if (PathFitsKind(kind, path.c_str())) return ExitDone;
    PrintMessage(ConsoleError, MsgFailExtension);
    const char* const* extensions = FactsOf(kind).extensions;
    std::string wanted = std::string(".") + extensions[0];
    for (int i = 1; extensions[i] != nullptr; ++i)
        wanted += std::string(Say(MsgOrExtension)) + extensions[i];
    PrintMessage(ConsoleError, MsgKindNeedsFile, path.c_str(), wanted.c_str());
    return ExitUsage;
}

ExitCode CheckSourceFile(DataKind kind, const std::string& path, bool writing) {
    PathKind what = KindOfPath(path.c_str(), true);
    if (what == PathMissing) {
        PrintMessage(ConsoleError, MsgFileMissing, path.c_str());
        ShowSystemReason(LastFileError());
        return ExitFileFailed;
    }
    if (what != PathRegular) {
        PrintMessage(ConsoleError, MsgFailFileOpen);
        PrintMessage(ConsoleError, MsgNotRegularFile, path.c_str(),
                     Say(what == PathFolder ? MsgAFolder : MsgAPipe));
        return ExitFileFailed;
    }
    if (!writing) return ExitDone;
    long long size = FileSizeOf(path.c_str());
    unsigned long long region = RegionBytes(kind);
    if (size > 0 && (unsigned long long)size <= region) return ExitDone;
    if (size < 0) {
        PrintMessage(ConsoleError, MsgFailFileOpen);
        PrintMessage(ConsoleError, MsgInParentheses, path.c_str());
    } else if (size == 0) {
        PrintMessage(ConsoleError, MsgFileEmpty, path.c_str(), region);
    } else {
        PrintMessage(ConsoleError, MsgFileTooLong, path.c_str(), size, region);
    }
    return ExitFileFailed;
}

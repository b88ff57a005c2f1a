#include "cli/part_files.h"

#include <cstdio>

#include "cli/console_output.h"
#include "cli/exit_codes.h"
#include "cli/files.h"
#include "protocol/regions.h"
#include "transfer/file_probe.h"

std::string PartPathOf(const std::string& path) { return path + ".part"; }

ExitCode PrepareReadTarget(const std::string& path, bool force) {
    int state = ProbeFile(path.c_str());
    if (state != FileMissing && !force) {
        PrintLine(ConsoleError, "Plik %s już istnieje ! Dodaj --force, aby go zastąpić.",
                  path.c_str());
        return ExitFileFailed;
    }
    if (state == FileReadOnly) {
        PrintLine(ConsoleError, "%s :\nBrak dostępu do zapisu !", path.c_str());
        return ExitFileFailed;
    }
    std::string part = PartPathOf(path);
    // Left by a read that failed: what it kept is stale once a new read begins.
    if (ProbeFile(part.c_str()) != FileMissing && std::remove(part.c_str()) != 0) {
        PrintLine(ConsoleError, "Nie mogę usunąć pliku %s", part.c_str());
        return ExitFileFailed;
    }
    return ExitDone;
}

void ReportPartFile(const std::string& path) {
    std::string part = PartPathOf(path);
    long long size = FileSizeOf(part.c_str());
    if (size < 0) return;
    const char* fate =
        ProbeFile(path.c_str()) == FileMissing ? "nie powstał" : "pozostał bez zmian";
    PrintLine(ConsoleError, "Plik %s %s ; odczytane bloki (%lld) są w pliku %s", path.c_str(), fate,
              size / BlockSize, part.c_str());
}

ExitCode PutPartInPlace(const std::string& path) {
    std::string part = PartPathOf(path);
    if (MoveFileOver(part.c_str(), path.c_str()) == FileOperationDone) return ExitDone;
    PrintLine(ConsoleError, "Nie mogę zastąpić pliku %s ; odczytany obszar jest w pliku %s",
              path.c_str(), part.c_str());
    return ExitFileFailed;
}

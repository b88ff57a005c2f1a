#include "cli/transfers/file_checks.h"

#include "cli/console/console_output.h"
#include "cli/system/files.h"
#include "protocol/regions.h"
#include "transfer/start.h"

ExitCode CheckExtension(DataKind kind, const std::string& path) {
    if (PathFitsKind(kind, path.c_str())) return ExitDone;
    PrintLine(ConsoleError, "%s", ExtensionChangedText);
    const char* const* extensions = FactsOf(kind).extensions;
    std::string wanted = std::string(".") + extensions[0];
    for (int i = 1; extensions[i] != nullptr; ++i) wanted += std::string(" lub .") + extensions[i];
    PrintLine(ConsoleError, "  (%s : ten rodzaj danych wymaga pliku %s)", path.c_str(),
              wanted.c_str());
    return ExitUsage;
}

ExitCode CheckSourceFile(DataKind kind, const std::string& path, bool writing) {
    PathKind what = KindOfPath(path.c_str(), true);
    if (what == PathMissing) {
        PrintLine(ConsoleError, "Plik %s nie istnieje !", path.c_str());
        ShowSystemReason(LastFileError());
        return ExitFileFailed;
    }
    if (what != PathRegular) {
        PrintLine(ConsoleError, "%s", FileOpenFailureText);
        PrintLine(ConsoleError, "  (%s : to nie jest zwykły plik, lecz %s)", path.c_str(),
                  what == PathFolder ? "folder" : "potok, gniazdo lub urządzenie");
        return ExitFileFailed;
    }
    if (!writing) return ExitDone;
    long long size = FileSizeOf(path.c_str());
    unsigned long long region = RegionBytes(kind);
    if (size > 0 && (unsigned long long)size <= region) return ExitDone;
    if (size < 0) {
        PrintLine(ConsoleError, "%s", FileOpenFailureText);
        PrintLine(ConsoleError, "  (%s)", path.c_str());
    } else if (size == 0) {
        PrintLine(ConsoleError, "Plik %s jest pusty (0 bajtów) ; obszar mieści %llu bajtów.",
                  path.c_str(), region);
    } else {
        PrintLine(ConsoleError,
                  "Plik %s ma %lld bajtów, a obszar mieści %llu bajtów : nic nie zapisano.",
                  path.c_str(), size, region);
    }
    return ExitFileFailed;
}

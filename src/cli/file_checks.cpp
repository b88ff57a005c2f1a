#include "cli/file_checks.h"

#include "cli/console_output.h"
#include "cli/files.h"
#include "protocol/regions.h"
#include "transfer/start.h"

ExitCode CheckExtension(int kind, const std::string& path) {
    if (PathFitsKind(kind, path.c_str())) return ExitDone;
    PrintLine(ConsoleError, "%s", ExtensionChangedText);
    static const char* const Wanted[3] = {".upg", ".lib", ".usr lub .bin"};
    PrintLine(ConsoleError, "  (%s : ten rodzaj danych wymaga pliku %s)", path.c_str(),
              Wanted[kind]);
    return ExitUsage;
}

ExitCode CheckSourceFile(int kind, const std::string& path, bool writing) {
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
    unsigned long long region = (unsigned long long)LookUpRegion(kind).blockCount * BlockSize;
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

#include "cli/backup/replace_together.h"

#include <cstdio>

#include "cli/console/console_output.h"
#include "cli/system/files.h"

namespace {

// Where an old file waits while the new set moves in.
std::string AsideNameOf(const std::string& path) { return path + ".old"; }

// Said at once, before a roll-back's own moves can change the system's reason.
void ShowReplaceFailure(const std::string& path) {
    unsigned long error = LastFileError();
    PrintLine(ConsoleError, "Nie mogę zastąpić pliku %s", path.c_str());
    ShowSystemReason(error);
}

// Undoes the first movedIn moves of new files and every move aside. A move
// back that fails is named with where that file's content now is.
void RollBack(const std::vector<std::string>& paths, const std::vector<std::string>& parts,
              size_t movedIn, const std::vector<bool>& aside) {
    for (size_t i = 0; i < movedIn; ++i)
        if (MoveFileOver(paths[i].c_str(), parts[i].c_str()) != FileOperationDone)
            PrintLine(ConsoleError, "Nie mogę cofnąć zastąpienia pliku %s (nowa treść)",
                      paths[i].c_str());
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!aside[i]) continue;
        std::string old = AsideNameOf(paths[i]);
        if (MoveFileOver(old.c_str(), paths[i].c_str()) != FileOperationDone)
            PrintLine(ConsoleError,
                      "Nie mogę przywrócić pliku %s ; jego poprzednia treść jest w pliku %s",
                      paths[i].c_str(), old.c_str());
    }
}

}  // namespace

ExitCode PrepareAsideNames(const std::vector<std::string>& paths, bool force) {
    for (const std::string& path : paths) {
        std::string old = AsideNameOf(path);
        if (KindOfPath(old.c_str(), true) == PathMissing) continue;
        if (!force) {
            PrintLine(ConsoleError,
                      "Plik %s pozostał z przerwanego zastępowania i może zawierać poprzednią "
                      "kopię ! Dodaj --force, aby go usunąć.",
                      old.c_str());
            return ExitFileFailed;
        }
        if (std::remove(old.c_str()) != 0) {
            PrintLine(ConsoleError, "Nie mogę usunąć pliku %s", old.c_str());
            return ExitFileFailed;
        }
    }
    return ExitDone;
}

ExitCode ReplaceFilesTogether(const std::vector<std::string>& paths,
                              const std::vector<std::string>& parts) {
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
            PrintLine(ConsoleError, "Nie mogę usunąć pliku %s (poprzednia treść)", old.c_str());
    }
    return ExitDone;
}

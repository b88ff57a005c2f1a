#include "transfer/start.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "operator/operator.h"
#include "protocol/frames.h"
#include "protocol/io_buffer.h"
#include "serial/serial_channel.h"
#include "transfer/file_probe.h"
#include "transfer/transfer_internal.h"

char DialogTitle[35];
char DialogFileName[260];
char DialogFilter[40];

const char FileOpenFailureText[] = "Błąd otwarcia pliku !";
const char ExtensionChangedText[] = "Nie zmieniaj rozszerzenia !";

namespace {

// The dialog's flags as the common dialog library defines them.
const unsigned long FlagsChooseExisting = 0x1800;  // OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST
const unsigned long FlagsChooseTarget =
    0x2006;  // OFN_CREATEPROMPT | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT
const unsigned long FlagExtensionDifferent = 0x400;

struct ActionDialog {
    const char* title;
    unsigned long flags;
};

const ActionDialog ActionDialogs[3] = {
    {"Wybierz plik z danymi :", FlagsChooseExisting},
    {"Wybierz plik do zapisu :", FlagsChooseTarget},
    {"Wybierz plik do weryfikacji :", FlagsChooseExisting},
};

// The filter is one description/pattern pair closed by an empty string, so
// every NUL inside the literal is part of it.
struct KindFiles {
    char extension[4];
    char filter[40];
};

const KindFiles KindFileTable[3] = {
    {"upg", "Aktualizacje FirmWare (*.upg)\0*.upg\0"},
    {"lib", "Biblioteki (*.lib)\0*.lib\0"},
    {"usr", "Sceny użytkownika (*.usr)\0*.usr;*.bin\0"},
};

// The only other extension the controller's scene files come with.
const char SceneAlternativeExtension[] = "bin";

// Case folding of ASCII letters only: the other bytes are Windows-1250 and
// must match exactly.
bool SameTextIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a);
        unsigned char y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
        if (x == 0) return true;
    }
}

// The extension the dialog reports, or an empty text when its offset does
// not point just past a dot inside the name (no extension, or a name that
// ends in a dot, for which the dialog reports 0).
const char* ChosenExtension(unsigned offset) {
    size_t length = strnlen(DialogFileName, sizeof DialogFileName - 1);
    if (offset == 0 || offset > length || DialogFileName[offset - 1] != '.') return "";
    return DialogFileName + offset;
}

// The text after the last dot of a path, or an empty text. A dot in a folder
// name leaves a separator in that text, so it never passes for an extension.
const char* PathExtension(const char* path) {
    const char* dot = std::strrchr(path, '.');
    return dot != nullptr ? dot + 1 : "";
}

// A start that fails reports it, and the transfer's failure says the same.
void FailStart(const Failure& failure, const char* text, const char* caption, unsigned style) {
    ReportFailure(failure, text, caption, style);
    TransferJob.failure = failure.kind;
}

// A file's failure before any phase has run.
Failure StartFileFailure(const char* path, unsigned long systemError) {
    return FileFailure(PhaseIdle, FileOpen, path, systemError);
}

// Every chosen file passes this rule, from the dialog or from the caller: the
// kind's own extension, or "bin" for user scenes. The dialog's own flag is not
// enough: some implementations never set it, and then any file could be sent
// into any region.
bool AcceptExtension(DataKind kind, const char* extension, bool flaggedDifferent) {
    bool different =
        flaggedDifferent || !SameTextIgnoringCase(extension, IoBuffer.defaultExtension);
    if (!different) return true;
    if (kind == KindScenes && SameTextIgnoringCase(extension, SceneAlternativeExtension))
        return true;
    FailStart(KindOnlyFailure(FailureRule), ExtensionChangedText, CaptionWarning, BoxIconError);
    return false;
}

const int PathPrecision = sizeof DialogFileName - 1;

// A text that does not fit its buffer is cut there and keeps its terminator.
__attribute__((format(printf, 3, 4))) void ComposeText(char* text, size_t size, const char* format,
                                                       ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, size, format, arguments);
    va_end(arguments);
}

// prepared: the caller made the target for this read (created empty, or the
// part an earlier read left), so there is nobody to ask about overwriting it.
StartOutcome OpenTarget(const char* path, bool prepared) {
    if (!prepared && ProbeFile(path) != FileMissing) {
        char question[295];
        ComposeText(question, sizeof question, "Plik %.*s już istnieje !\nCzy chcesz go nadpisać ?",
                    PathPrecision, path);
        if (ShowMessageBox(question, CaptionWarning,
                           BoxYesNo | BoxIconQuestion | BoxDefaultSecond) != AnswerYes)
            return StartDeclined;
        if (ProbeFile(path) == FileReadOnly) {
            char text[295];
            ComposeText(text, sizeof text, "%.*s :\nBrak dostępu do zapisu !", PathPrecision, path);
            FailStart(StartFileFailure(path, EACCES), text, CaptionFailure, BoxIconError);
            return StartFailed;
        }
    }
    // Anything but a file on disk (a pipe with no other end, a device) could
    // hold the start in its open or never end its writes.
    if (TransferJob.outputFile.is_open()) TransferJob.outputFile.close();
    if (ProbeFile(path) != FileMissing && !IsDiskFile(path)) {
        FailStart(StartFileFailure(path, 0), FileOpenFailureText, CaptionFailure, BoxIconError);
        return StartFailed;
    }
    if (OpenTargetFile(path) != BlockFileDone) {
        FailStart(StartFileFailure(path, FileSystemError()), FileOpenFailureText, CaptionFailure,
                  BoxIconError);
        return StartFailed;
    }
    return StartRunning;
}

StartOutcome OpenSource(const char* path) {
    if (ProbeFile(path) == FileMissing) {
        char text[296];
        ComposeText(text, sizeof text, "Plik %.*s nie istnieje !", PathPrecision, path);
        FailStart(StartFileFailure(path, ENOENT), text, CaptionWarning, BoxIconError);
        return StartDeclined;
    }
    if (TransferJob.inputFile.is_open()) TransferJob.inputFile.close();
    if (!IsDiskFile(path)) {
        FailStart(StartFileFailure(path, 0), FileOpenFailureText, CaptionFailure, BoxIconError);
        return StartFailed;
    }
    if (OpenSourceFile(path) != BlockFileDone) {
        FailStart(StartFileFailure(path, FileSystemError()), FileOpenFailureText, CaptionFailure,
                  BoxIconError);
        return StartFailed;
    }
    return StartRunning;
}

// Without a given path the file comes from the dialog, or for the repeat
// command is the last path as it stands. A given path passes the extension
// rule under ruledName.
StartOutcome Start(const char* givenPath, const char* ruledName, bool prepared = false,
                   unsigned fromBlock = 0) {
    // First of all, so a transfer in progress is no longer driven whatever
    // happens below.
    TransferJob.phase = PhaseIdle;
    TransferJob.failure = FailureNone;

    if (!IsChannelOpen()) {
        FailStart(KindOnlyFailure(FailurePort), "Musisz wybrać dostępny port szeregowy !",
                  CaptionWarning, BoxIconWarning);
        return StartFailed;
    }

    int action = TransferJob.action;
    if (action < ActionWriteToDevice || action > ActionVerify) {
        TransferJob.failure = FailureRule;
        return StartOutOfRange;
    }
    std::snprintf(DialogTitle, sizeof DialogTitle, "%s", ActionDialogs[action].title);
    unsigned long flags = ActionDialogs[action].flags;

    if (TransferJob.kind < KindFirmware || TransferJob.kind > KindScenes) {
        TransferJob.failure = FailureRule;
        return StartOutOfRange;
    }
    DataKind kind = DataKind(TransferJob.kind);
    if (fromBlock >= RegionTable[kind].blockCount) {
        TransferJob.failure = FailureRule;
        return StartOutOfRange;
    }
    TransferJob.nextBlock = RegionTable[kind].firstBlock;
    TransferJob.blocksLeft = RegionTable[kind].blockCount;
    std::memcpy(IoBuffer.defaultExtension, KindFileTable[kind].extension,
                sizeof IoBuffer.defaultExtension);
    std::memcpy(DialogFilter, KindFileTable[kind].filter, sizeof DialogFilter);
    TransferJob.firstBlock = TransferJob.nextBlock;
    // A read that goes on where an earlier one stopped: the block numbers and
    // the file positions stay those of the whole region.
    TransferJob.nextBlock = uint16_t(TransferJob.nextBlock + fromBlock);
    TransferJob.blocksLeft = uint16_t(TransferJob.blocksLeft - fromBlock);

    const char* path = DialogFileName;
    if (givenPath != nullptr) {
        if (!AcceptExtension(kind, PathExtension(ruledName), false)) return StartFailed;
        path = givenPath;
    } else if (!TransferJob.repeatPending) {
        unsigned long flagsOut = 0;
        unsigned extensionOffset = 0;
        if (ShowFileDialog(flags, &flagsOut, &extensionOffset) != FileChosen) return StartFailed;
        bool flagged = (flagsOut & FlagExtensionDifferent) != 0;
        if (!AcceptExtension(kind, ChosenExtension(extensionOffset), flagged)) return StartFailed;
    } else if (DialogFileName[0] != '\0' &&
               !AcceptExtension(kind, PathExtension(DialogFileName), false)) {
        // The kind follows every highlight of a kind item, also on the way to
        // the repeat item: the last file must still belong to the region the
        // repeat now names. With no file chosen yet there is nothing to send
        // anywhere; the file checks below say so.
        return StartFailed;
    }

    RepaintWindow();

    StartOutcome opened =
        action == ActionReadFromDevice ? OpenTarget(path, prepared) : OpenSource(path);
    if (opened != StartRunning) return opened;

    BuildIdentRequest();
    IoBuffer.frameArea[1] = 0;
    unsigned long error = StartWrite(IdentRequestSize);
    // A write that is still under way counts as started, however the channel
    // chooses to report it.
    if (error != ErrorSuccess && error != ErrorIoPending) {
        char text[79];
        ComposeText(text, sizeof text, "Błąd komunikacji : %lu", error);
        // The identification request is the first phase's send.
        FailStart(LineFailure(PhaseEscapeSent, error), text, CaptionFailure, BoxIconError);
        return StartFailed;
    }
    TransferJob.phase = PhaseEscapeSent;
    RepaintWindow();
    return StartRunning;
}

}  // namespace

StartOutcome StartTransfer() { return Start(nullptr, nullptr); }

StartOutcome StartTransferWithFile(const char* path) { return Start(path, path); }

StartOutcome StartTransferIntoFile(const char* openedPath, const char* givenName) {
    return Start(openedPath, givenName);
}

StartOutcome StartReadIntoPreparedFile(const char* openedPath, const char* givenName,
                                       unsigned fromBlock) {
    TransferJob.action = ActionReadFromDevice;
    return Start(openedPath, givenName, true, fromBlock);
}

bool PathFitsKind(int kind, const char* path) {
    if (kind < KindFirmware || kind > KindScenes) return false;
    const char* extension = PathExtension(path);
    return SameTextIgnoringCase(extension, KindFileTable[kind].extension) ||
           (kind == KindScenes && SameTextIgnoringCase(extension, SceneAlternativeExtension));
}

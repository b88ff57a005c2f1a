#include "transfer/start.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

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

// Whether extension is one of the kind's own after the first: the first is
// the default the dialog compares with.
bool IsOtherExtensionOf(DataKind kind, const char* extension) {
    const char* const* listed = FactsOf(kind).extensions;
    for (int i = 1; listed[i] != nullptr; ++i)
        if (SameTextIgnoringCase(extension, listed[i])) return true;
    return false;
}

// The filter pair "<description> (*.upg)", "*.upg;*.bin", closed by an empty
// string: the buffer's last bytes are always zeros.
void ComposeDialogFilter(DataKind kind) {
    const DataKindFacts& facts = FactsOf(kind);
    std::string filter = std::string(facts.filesDescription) + " (*." + facts.extensions[0] + ")";
    filter += '\0';
    for (int i = 0; facts.extensions[i] != nullptr; ++i)
        filter += std::string(i == 0 ? "" : ";") + "*." + facts.extensions[i];
    std::memset(DialogFilter, 0, sizeof DialogFilter);
    std::memcpy(DialogFilter, filter.data(), std::min(filter.size(), sizeof DialogFilter - 2));
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
StartOutcome FailStart(StartOutcome outcome, const Failure& failure, const char* text,
                       const char* caption, unsigned style) {
    ReportFailure(failure, text, caption, style);
    TransferJob.failure = failure.kind;
    return outcome;
}

// The file failures of the start: the file is there but cannot be used.
StartOutcome FailToOpen(const char* path, unsigned long systemError) {
    return FailStart(StartFailed, FileFailure(PhaseIdle, FileOpen, path, systemError),
                     FileOpenFailureText, CaptionFailure, BoxIconError);
}

StartOutcome OutOfRange() {
    TransferJob.failure = FailureRule;
    return StartOutOfRange;
}

// Every chosen file passes this rule, from the dialog or from the caller: the
// kind's own extension, or "bin" for user scenes. The dialog's own flag is not
// enough: some implementations never set it, and then any file could be sent
// into any region.
StartOutcome AcceptExtension(DataKind kind, const char* extension, bool flaggedDifferent) {
    bool different =
        flaggedDifferent || !SameTextIgnoringCase(extension, IoBuffer.defaultExtension);
    if (!different || IsOtherExtensionOf(kind, extension)) return StartRunning;
    return FailStart(StartFailed, KindOnlyFailure(FailureRule), ExtensionChangedText,
                     CaptionWarning, BoxIconError);
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

// The first step: the dialog's texts for the action and the kind, and the
// job's block range.
StartOutcome SetUpJob(BlockSpan span, unsigned long* dialogFlags) {
    int action = TransferJob.action;
    if (action < ActionWriteToDevice || action > ActionVerify) return OutOfRange();
    std::snprintf(DialogTitle, sizeof DialogTitle, "%s", ActionDialogs[action].title);
    *dialogFlags = ActionDialogs[action].flags;

    if (!IsDataKind(TransferJob.kind)) return OutOfRange();
    DataKind kind = DataKind(TransferJob.kind);
    DeviceRegion region = LookUpRegion(kind);
    unsigned blocks = span.blocks != 0 ? span.blocks : region.blockCount - span.fromBlock;
    if (span.fromBlock >= region.blockCount || blocks > region.blockCount - span.fromBlock)
        return OutOfRange();
    std::snprintf(IoBuffer.defaultExtension, sizeof IoBuffer.defaultExtension, "%s",
                  FactsOf(kind).extensions[0]);
    ComposeDialogFilter(kind);
    TransferJob.firstBlock = region.firstBlock;
    // A transfer that goes on where an earlier one stopped: the block numbers
    // and the file positions stay those of the whole region.
    TransferJob.nextBlock = uint16_t(region.firstBlock + span.fromBlock);
    TransferJob.blocksLeft = uint16_t(blocks);
    TransferJob.retriesOfBlock = 0;
    TransferJob.blocksRetried = 0;
    TransferJob.blockFrameSent = false;
    return StartRunning;
}

// The second step: the file, given by the caller (its extension ruled by
// ruledName), from the dialog, or for the repeat command the last path as it
// stands. *path points to it.
StartOutcome ChooseFile(const char* givenPath, const char* ruledName, unsigned long dialogFlags,
                        const char** path) {
    DataKind kind = DataKind(TransferJob.kind);
    *path = DialogFileName;
    if (givenPath != nullptr) {
        *path = givenPath;
        return AcceptExtension(kind, PathExtension(ruledName), false);
    }
    if (!TransferJob.repeatPending) {
        unsigned long flagsOut = 0;
        unsigned extensionOffset = 0;
        if (ShowFileDialog(dialogFlags, &flagsOut, &extensionOffset) != FileChosen)
            return StartFailed;
        bool flagged = (flagsOut & FlagExtensionDifferent) != 0;
        return AcceptExtension(kind, ChosenExtension(extensionOffset), flagged);
    }
    // The kind follows every highlight of a kind item, also on the way to the
    // repeat item: the last file must still belong to the region the repeat
    // now names. With no file chosen yet there is nothing to send anywhere;
    // the file checks after this say so.
    if (DialogFileName[0] == '\0') return StartRunning;
    return AcceptExtension(kind, PathExtension(DialogFileName), false);
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
            return FailStart(StartFailed, FileFailure(PhaseIdle, FileOpen, path, EACCES), text,
                             CaptionFailure, BoxIconError);
        }
    }
    // Anything but a file on disk (a pipe with no other end, a device) could
    // hold the start in its open or never end its writes.
    if (TransferJob.outputFile.is_open()) TransferJob.outputFile.close();
    if (ProbeFile(path) != FileMissing && !IsDiskFile(path)) return FailToOpen(path, 0);
    if (OpenTargetFile(path) != BlockFileDone) return FailToOpen(path, FileSystemError());
    return StartRunning;
}

StartOutcome OpenSource(const char* path) {
    if (ProbeFile(path) == FileMissing) {
        char text[296];
        ComposeText(text, sizeof text, "Plik %.*s nie istnieje !", PathPrecision, path);
        return FailStart(StartDeclined, FileFailure(PhaseIdle, FileOpen, path, ENOENT), text,
                         CaptionWarning, BoxIconError);
    }
    if (TransferJob.inputFile.is_open()) TransferJob.inputFile.close();
    if (!IsDiskFile(path)) return FailToOpen(path, 0);
    if (OpenSourceFile(path) != BlockFileDone) return FailToOpen(path, FileSystemError());
    // A span that starts later in the region starts as far into the file.
    PositionFileAtBlock();
    return StartRunning;
}

// The caller's open file takes the place of one opened by path.
StartOutcome UseCallers(std::iostream* file, const char* path) {
    UseCallersFile(file, path);
    if (TransferJob.action != ActionReadFromDevice) PositionFileAtBlock();
    return StartRunning;
}

// The third step: the file opened for the action (or the caller's), and the
// identification request on its way.
StartOutcome OpenAndIdentify(const char* path, bool prepared, std::iostream* callers) {
    RepaintWindow();
    UseCallersFile(nullptr, path);
    StartOutcome opened = callers != nullptr                           ? UseCallers(callers, path)
                          : TransferJob.action == ActionReadFromDevice ? OpenTarget(path, prepared)
                                                                       : OpenSource(path);
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
        return FailStart(StartFailed, LineFailure(PhaseEscapeSent, StageSystem, 0, 0, error), text,
                         CaptionFailure, BoxIconError);
    }
    TransferJob.phase = PhaseEscapeSent;
    RepaintWindow();
    return StartRunning;
}

// Without a given path the file comes from the dialog, or for the repeat
// command is the last path as it stands.
StartOutcome Start(const char* givenPath, const char* ruledName, bool prepared = false,
                   BlockSpan span = WholeRegion, std::iostream* callers = nullptr) {
    // First of all, so a transfer in progress is no longer driven whatever
    // happens below.
    TransferJob.phase = PhaseIdle;
    TransferJob.failure = FailureNone;
    if (!IsChannelOpen())
        return FailStart(StartFailed, KindOnlyFailure(FailurePort),
                         "Musisz wybrać dostępny port szeregowy !", CaptionWarning, BoxIconWarning);
    unsigned long dialogFlags = 0;
    StartOutcome outcome = SetUpJob(span, &dialogFlags);
    const char* path = nullptr;
    if (outcome == StartRunning) outcome = ChooseFile(givenPath, ruledName, dialogFlags, &path);
    if (outcome == StartRunning) outcome = OpenAndIdentify(path, prepared, callers);
    return outcome;
}

}  // namespace

StartOutcome StartTransfer() { return Start(nullptr, nullptr); }

StartOutcome StartTransferWithFile(const char* path) { return Start(path, path); }

StartOutcome StartTransferIntoFile(const char* openedPath, const char* givenName, BlockSpan span) {
    return Start(openedPath, givenName, false, span);
}

StartOutcome StartReadIntoPreparedFile(const char* openedPath, const char* givenName,
                                       BlockSpan span) {
    TransferJob.action = ActionReadFromDevice;
    return Start(openedPath, givenName, true, span);
}

StartOutcome StartTransferOnFile(std::iostream& file, const char* path, const char* givenName,
                                 BlockSpan span) {
    return Start(path, givenName, true, span, &file);
}

bool PathFitsKind(DataKind kind, const char* path) {
    if (!IsDataKind(kind)) return false;
    const char* extension = PathExtension(path);
    return SameTextIgnoringCase(extension, FactsOf(kind).extensions[0]) ||
           IsOtherExtensionOf(kind, extension);
}

#include "transfer/status_lines.h"

#include <cstdio>

#include "protocol/io_buffer.h"
#include "transfer/transfer.h"

namespace {

const char* const ActionNames[3] = {"Zapisywanie do Dm730", "Odczyt z Dm730", "Weryfikacja"};
const char* const KindNames[3] = {"program", "biblioteki", "dane użytkownika"};
const char WaitingText[] = "Oczekiwanie . . .";
const char RetryText[] = "Ponawianie";
// By phase number.
const char* const PhaseTexts[LastTransferPhase + 1] = {
    "",          WaitingText,  WaitingText, "Komenda", WaitingText, WaitingText, "Wysyłanie",
    WaitingText, "Odbieranie", "",          RetryText, RetryText,   RetryText,
};

// A value the tables do not cover shows as an empty text rather than
// reading past them.
const char* NameOf(const char* const* names, int count, int value) {
    return value >= 0 && value < count ? names[value] : "";
}

const int VersionTextPrecision = sizeof IoBuffer.firmwareVersionText;

}  // namespace

void ComposeVersionLine(char line[StatusLineSize]) {
    // The precision keeps a version field without its terminator inside the field.
    std::snprintf(line, StatusLineSize, "Wersja firmware : %.*s | %.*s", VersionTextPrecision,
                  IoBuffer.firmwareVersionText, VersionTextPrecision, IoBuffer.secondVersionText);
}

void ComposeActionLine(char line[StatusLineSize]) {
    std::snprintf(line, StatusLineSize, "%s : %s", NameOf(ActionNames, 3, TransferJob.action),
                  NameOf(KindNames, 3, TransferJob.kind));
}

void ComposeBlockLine(char line[StatusLineSize]) {
    int next = TransferJob.nextBlock;
    int left = TransferJob.blocksLeft;
    int first = TransferJob.firstBlock;
    std::snprintf(line, StatusLineSize, "Blok %d z %d", next - first + 1, next + left - first);
}

void ComposePhaseLine(char line[StatusLineSize]) {
    int phase = TransferJob.phase;
    if (phase == PhaseIdle) {
        line[0] = '\0';
        return;
    }
    std::snprintf(line, StatusLineSize, "%s(%d)", NameOf(PhaseTexts, LastTransferPhase + 1, phase),
                  phase);
}

bool AreProgressLinesShown() { return TransferJob.phase != PhaseIdle; }

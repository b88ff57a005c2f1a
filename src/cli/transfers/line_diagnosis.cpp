#include "cli/transfers/line_diagnosis.h"

#include <cstdio>

namespace {

bool AnyFaultCounted(const PortAttempt& attempt) {
    const LineErrorCounts& f = attempt.faults;
    return attempt.faultsCounted && f.framing + f.parity + f.overrun + f.breaks > 0;
}

// A sender at half the speed or slower holds each of its bits for two or
// more of ours, so every run of equal bits inside a byte we sample is at
// least two long (only the runs at either end are cut by the byte's edges).
// Arbitrary bytes pass this one time in four; six in a row, one in 4000.
bool LooksSlowerSent(uint8_t b) {
    int runStart = 0;
    for (int i = 1; i <= 8; ++i) {
        bool runEnds = i == 8 || ((b >> i) & 1) != ((b >> runStart) & 1);
        if (!runEnds) continue;
        if (runStart > 0 && i < 8 && i - runStart < 2) return false;
        runStart = i;
    }
    return true;
}

// The fewest bytes that can show it: a controller's answer is six bytes,
// slower it arrives as more.
const unsigned long FewestSlowerBytes = 3;

bool LooksLikeWrongSpeed(const PortAttempt& attempt) {
    if (attempt.replyCount < FewestSlowerBytes) return false;
    for (unsigned long i = 0; i < attempt.replyCount; ++i)
        if (!LooksSlowerSent(attempt.reply[i])) return false;
    return true;
}

}  // namespace

LineDiagnosis DiagnoseProbe(const PortAttempt& attempt) {
    if (AnyFaultCounted(attempt)) return LineFramingFaults;
    if (attempt.replyCount == 0) return LineSilent;
    if (attempt.reply[0] == ByteEsc) return LineEchoes;
    if (LooksLikeWrongSpeed(attempt)) return LineFramingFaults;
    return LineForeignReply;
}

std::string HexBytes(const uint8_t* bytes, unsigned long count) {
    std::string text;
    char one[4];
    for (unsigned long i = 0; i < count; ++i) {
        snprintf(one, sizeof one, i == 0 ? "%02x" : " %02x", bytes[i]);
        text += one;
    }
    return text;
}

std::string DiagnosisText(const char* port, const PortAttempt& attempt) {
    std::string heard = HexBytes(attempt.reply, attempt.replyCount);
    std::string text = std::string("Port ") + port + " : ";
    switch (DiagnoseProbe(attempt)) {
    case LineSilent: return text + "cisza, nic nie odpowiedziało na zapytanie o wersję.";
    case LineEchoes:
        return text + "wraca echo wysłanych bajtów (" + heard +
               ") : wtyczka pętli zwrotnej albo przetwornik z echem.";
    case LineFramingFaults: {
        text += "bajty z błędami ramki (zła prędkość lub zakłócenia)";
        if (AnyFaultCounted(attempt)) {
            char counts[120];
            const LineErrorCounts& f = attempt.faults;
            snprintf(counts, sizeof counts,
                     " : sterownik portu policzył błędy ramki %lu, parzystości %lu, "
                     "przepełnienia %lu, przerwy %lu",
                     f.framing, f.parity, f.overrun, f.breaks);
            text += counts;
        }
        if (!heard.empty()) text += " ; odebrane : " + heard;
        return text + ".";
    }
    case LineForeignReply: return text + "odpowiedź nie jest identyfikacją Dm730 : " + heard + ".";
    }
    return text;
}

const char* DiagnosisHint(LineDiagnosis diagnosis) {
    switch (diagnosis) {
    case LineSilent:
        return "Cisza : sprawdź, czy Dm730 jest włączony i gotowy do transmisji, czy kabel "
               "siedzi w tym porcie i w Dm730, i czy to kabel null-modem.";
    case LineEchoes:
        return "Echo : zdejmij wtyczkę pętli zwrotnej albo wyłącz echo przetwornika; kabel musi "
               "prowadzić do Dm730, a nie łączyć TX z RX.";
    case LineFramingFaults:
        return "Błędy ramki : Dm730 i przetwornik muszą pracować z prędkością 38400, 8 bitów, bez "
               "parzystości, 1 bit stopu; sprawdź też długość i ekran kabla.";
    case LineForeignReply:
        return "Obca odpowiedź : na tym porcie odpowiada inne urządzenie albo Dm730 nie jest "
               "gotowy do transmisji; wybierz inny port (dm730 ports).";
    }
    return "";
}

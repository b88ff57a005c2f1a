#include "cli/transfers/line_diagnosis.h"

#include <cstdio>

#include "cli/console/messages.h"

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
    switch (DiagnoseProbe(attempt)) {
    case LineSilent: return SayFormatted(MsgProbeSilent, port);
    case LineEchoes: return SayFormatted(MsgProbeEcho, port, heard.c_str());
    case LineFramingFaults: {
        std::string text = SayFormatted(MsgProbeFraming, port);
        const LineErrorCounts& f = attempt.faults;
        if (AnyFaultCounted(attempt))
            text += SayFormatted(MsgProbeDriverCounts, f.framing, f.parity, f.overrun, f.breaks);
        if (!heard.empty()) text += SayFormatted(MsgProbeHeard, heard.c_str());
        return text + ".";
    }
    case LineForeignReply: return SayFormatted(MsgProbeForeign, port, heard.c_str());
    }
    return "";
}

const char* DiagnosisHint(LineDiagnosis diagnosis) {
    switch (diagnosis) {
    case LineSilent: return Say(MsgHintSilent);
    case LineEchoes: return Say(MsgHintEcho);
    case LineFramingFaults: return Say(MsgHintFraming);
    case LineForeignReply: return Say(MsgHintForeign);
    }
    return "";
}

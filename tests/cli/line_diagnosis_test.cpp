// What a probe heard, told apart: the driver's counts first, then the bytes.
#include <gtest/gtest.h>

#include <vector>

#include "cli/transfers/line_diagnosis.h"

namespace {

PortAttempt Heard(const std::vector<uint8_t>& bytes, bool counted = false,
                  LineErrorCounts faults = {}) {
    PortAttempt attempt{PortOpened, 0};
    attempt.replyCount = bytes.size();
    for (size_t i = 0; i < bytes.size() && i < IdentReplySize; ++i) attempt.reply[i] = bytes[i];
    attempt.faultsCounted = counted;
    attempt.faults = faults;
    return attempt;
}

TEST(LineDiagnosisTest, EachLineIsToldApart) {
    struct Case {
        PortAttempt attempt;
        LineDiagnosis diagnosis;
        const char* text;  // after "Port P : "
    };
    const Case cases[] = {
        {Heard({}), LineSilent, "cisza, nic nie odpowiedziało na zapytanie o wersję."},
        // A driver that counts, and counted nothing, changes nothing.
        {Heard({}, true), LineSilent, "cisza"},
        {Heard({0x1b}), LineEchoes, "wraca echo wysłanych bajtów (1b)"},
        // An echoing converter in front of a controller: our ESC, then its answer.
        {Heard({0x1b, 3, 5, 1, 20, 0xe3}), LineEchoes, "(1b 03 05 01 14 e3)"},
        // The driver's counts outweigh whatever the bytes look like.
        {Heard({3, 5, 1, 20, 0xe3, 0x06}, true, {2, 0, 0, 0}), LineFramingFaults,
         "sterownik portu policzył błędy ramki 2, parzystości 0, przepełnienia 0, przerwy 0 ; "
         "odebrane : 03 05 01 14 e3 06."},
        {Heard({}, true, {0, 0, 0, 1}), LineFramingFaults, "przerwy 1."},
        // A controller at 9600, 19200 and 4800 as a 38400 receiver samples it.
        {Heard({0xf8, 0x00, 0x00, 0xf0, 0x3c, 0x1e}), LineFramingFaults, "odebrane : f8 00"},
        {Heard({0x1e, 0x80, 0x66, 0x80, 0x06, 0x80}), LineFramingFaults, "zła prędkość"},
        {Heard({0x80, 0x00, 0x00}), LineFramingFaults, "odebrane : 80 00 00."},
        // Too few bytes to tell a speed by.
        {Heard({0x00, 0x00}), LineForeignReply, "identyfikacją Dm730 : 00 00."},
        // One byte with a lone bit inside (0x48) is no slower sender's.
        {Heard({0xf8, 0x00, 0x48}), LineForeignReply, "f8 00 48."},
        {Heard({'E', 'R', 'R', '?', '\r', '\n'}), LineForeignReply, "45 52 52 3f 0d 0a."},
        // A controller that refuses: still no identification.
        {Heard({3, 5, 1, 20, 0xe3, 0x15}), LineForeignReply, "03 05 01 14 e3 15."},
    };
    for (const Case& c : cases) {
        std::string text = DiagnosisText("COM7", c.attempt);
        SCOPED_TRACE(text);
        EXPECT_EQ(DiagnoseProbe(c.attempt), c.diagnosis);
        EXPECT_EQ(text.compare(0, 12, "Port COM7 : "), 0);
        EXPECT_NE(text.find(c.text), std::string::npos);
        EXPECT_NE(std::string(DiagnosisHint(c.diagnosis)), "");
    }
}

}  // namespace

// The progress line and when it is shown: percent, rate, time left, the
// closing line's numerals in either language, and at most a line a tenth.
#include <gtest/gtest.h>

#include <string>

#include "cli/console/language.h"
#include "cli/console/progress.h"

namespace {

TEST(Progress, LinesSayHowFarHowFastAndHowLong) {
    const struct {
        unsigned long done, total;
        double seconds;
        const char* tail;  // after "<action>  <block line>  "
    } lines[] = {
        {0, 512, 0.0, "0%  -- kB/s  pozostało --:--"},
        {256, 512, 10.0, "50%  6,6 kB/s  pozostało 0:10"},
        {511, 512, 100.0, "99%  1,3 kB/s  pozostało 0:00"},
        {100, 4096, 30.0, "2%  0,9 kB/s  pozostało 19:59"},
        {10, 3200, 400.0, "0%  0,0 kB/s  pozostało 35:26:40"},
    };
    for (const auto& c : lines) {
        char line[160];
        ComposeProgressLine(line, sizeof line, "Odczyt z Dm730 : program", "Blok 7 z 512", c.done,
                            c.total, c.seconds);
        EXPECT_EQ(std::string(line),
                  std::string("Odczyt z Dm730 : program  Blok 7 z 512  ") + c.tail);
    }
    // Polish numerals: 1 blok, 2-4 bloki (not 12-14), otherwise bloków.
    const struct {
        unsigned long blocks;
        const char* tail;
    } closings[] = {{1, "1 blok w 0,3 s"},      {2, "2 bloki w 0,3 s"},
                    {12, "12 bloków w 0,3 s"},  {22, "22 bloki w 0,3 s"},
                    {104, "104 bloki w 0,3 s"}, {112, "112 bloków w 0,3 s"},
                    {512, "512 bloków w 0,3 s"}};
    for (const auto& c : closings) {
        char line[160];
        ComposeDoneLine(line, sizeof line, "Weryfikacja : program", c.blocks, 0.26);
        EXPECT_EQ(std::string(line), std::string("Weryfikacja : program : gotowe, ") + c.tail);
    }
}

// In English: a decimal point, one form for every number but 1.
TEST(Progress, EnglishLinesAndNumerals) {
    UseLanguage(LanguageEnglish);
    char line[160];
    ComposeProgressLine(line, sizeof line, "Reading from Dm730: firmware", "Block 7 of 512", 256,
                        512, 10.0);
    EXPECT_EQ(std::string(line),
              "Reading from Dm730: firmware  Block 7 of 512  50%  6.6 kB/s  0:10 left");
    const struct {
        unsigned long blocks;
        const char* tail;
    } closings[] = {{1, "1 block in 0.3 s"}, {2, "2 blocks in 0.3 s"}, {12, "12 blocks in 0.3 s"}};
    for (const auto& c : closings) {
        ComposeDoneLine(line, sizeof line, "Verifying: firmware", c.blocks, 0.26);
        EXPECT_EQ(std::string(line), std::string("Verifying: firmware: done, ") + c.tail);
    }
    UseLanguage(LanguagePolish);
}

TEST(Progress, AtMostALineATenthAndNoneAtTheEnd) {
    // Block by block through whole runs, as into a file: the 100 % line is the closing line's.
    for (unsigned long total : {3ul, 10ul, 384ul, 4096ul}) {
        std::string tenths;
        for (unsigned long done = 1; done <= total; ++done)
            if (ReachesNewTenth(done - 1, done, total)) tenths += std::to_string(done * 10 / total);
        EXPECT_EQ(tenths, total == 3 ? "36" : "123456789") << total;
    }
    EXPECT_FALSE(ReachesNewTenth(0, 0, 0));
    EXPECT_TRUE(ReachesNewTenth(0, 512, 4096)) << "a jump of more than a tenth shows once";
}

}  // namespace

// The progress line and when it is shown: percent, rate, time left, the
// closing line's Polish numerals, and at most a line a tenth.
#include <gtest/gtest.h>

#include <string>

#include "cli/progress.h"

namespace {

TEST(Progress, LineShowsPercentRateAndTimeLeft) {
    struct Case {
        unsigned long done, total;
        double seconds;
        const char* tail;  // what follows the action and block lines
    };
    const Case cases[] = {
        {0, 512, 0.0, "0%  -- kB/s  pozostało --:--"},
        {256, 512, 10.0, "50%  6,6 kB/s  pozostało 0:10"},
        {511, 512, 100.0, "99%  1,3 kB/s  pozostało 0:00"},
        {100, 4096, 30.0, "2%  0,9 kB/s  pozostało 19:59"},
        {10, 3200, 400.0, "0%  0,0 kB/s  pozostało 35:26:40"},
        {4096, 4096, 12.8, "100%  81,9 kB/s  pozostało 0:00"},
    };
    for (const Case& c : cases) {
        char line[160];
        ComposeProgressLine(line, sizeof line, "Odczyt z Dm730 : program", "Blok 7 z 512", c.done,
                            c.total, c.seconds);
        EXPECT_EQ(std::string(line),
                  std::string("Odczyt z Dm730 : program  Blok 7 z 512  ") + c.tail);
    }
}

TEST(Progress, ClosingLineCountsBlocksInPolish) {
    struct Case {
        unsigned long blocks;
        double seconds;
        const char* expected;
    };
    const Case cases[] = {
        {1, 0.26, "Weryfikacja : program : gotowe, 1 blok w 0,3 s"},
        {2, 1.0, "Weryfikacja : program : gotowe, 2 bloki w 1,0 s"},
        {5, 1.0, "Weryfikacja : program : gotowe, 5 bloków w 1,0 s"},
        {12, 1.0, "Weryfikacja : program : gotowe, 12 bloków w 1,0 s"},
        {22, 1.0, "Weryfikacja : program : gotowe, 22 bloki w 1,0 s"},
        {104, 1.0, "Weryfikacja : program : gotowe, 104 bloki w 1,0 s"},
        {112, 1.0, "Weryfikacja : program : gotowe, 112 bloków w 1,0 s"},
        {512, 8.04, "Weryfikacja : program : gotowe, 512 bloków w 8,0 s"},
    };
    for (const Case& c : cases) {
        char line[160];
        ComposeDoneLine(line, sizeof line, "Weryfikacja : program", c.blocks, c.seconds);
        EXPECT_STREQ(line, c.expected);
    }
}

TEST(Progress, AtMostALineATenthAndNoneAtTheEnd) {
    struct Step {
        unsigned long before, now, total;
        bool due;
    };
    const Step steps[] = {
        {0, 51, 512, false},  {0, 52, 512, true}, {52, 60, 512, false}, {460, 461, 512, true},
        {0, 512, 512, false}, {0, 1, 5, true},    {0, 0, 0, false},     {409, 410, 4096, true},
    };
    for (const Step& s : steps)
        EXPECT_EQ(ReachesNewTenth(s.before, s.now, s.total), s.due)
            << s.before << " -> " << s.now << " of " << s.total;
    // Block by block through whole runs, as a pipe would see them.
    for (unsigned long total : {3ul, 10ul, 384ul, 4096ul}) {
        int lines = 0;
        for (unsigned long done = 1; done <= total; ++done)
            lines += ReachesNewTenth(done - 1, done, total);
        EXPECT_EQ(lines, total < 10 ? int(total) - 1 : 9) << total;
    }
}

}  // namespace

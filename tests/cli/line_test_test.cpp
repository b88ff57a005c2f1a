// What a line test counts and concludes, and the trace of the last
// exchanges as it reads them back.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "cli/transfers/line_test.h"
#include "cli/transfers/line_trace.h"
#include "protocol/frames.h"
#include "serial/line_watch.h"
#include "transfer/transfer.h"

namespace {

std::string Bytes256(unsigned n) {
    std::string bytes;
    for (unsigned i = 0; i < n; ++i) bytes += char((i * 37 + 11) & 0xff);
    return bytes;
}

TEST(LineTestTest, EchoedBytesAreLinedUpWithWhatWasSent) {
    const std::string sent = Bytes256(200);
    struct Case {
        const char* name;
        std::string received;
        unsigned long lost, changed, extra;
    };
    std::string changed = sent;
    changed[50] = char(changed[50] ^ 0x10);
    changed[120] = char(changed[120] ^ 0x01);
    std::string mixed = sent.substr(0, 30) + sent.substr(33, 60) + "x" + sent.substr(93);
    mixed[150] = char(mixed[150] ^ 0x40);
    const Case cases[] = {
        {"whole", sent, 0, 0, 0},
        {"nothing back", "", 200, 0, 0},
        {"first byte lost", sent.substr(1), 1, 0, 0},
        {"three lost inside", sent.substr(0, 100) + sent.substr(103), 3, 0, 0},
        {"last ten lost", sent.substr(0, 190), 10, 0, 0},
        {"two changed", changed, 0, 2, 0},
        {"one extra inside", sent.substr(0, 70) + '\xee' + sent.substr(70), 0, 0, 1},
        {"extra after the end", sent + "zz", 0, 0, 2},
        {"lost, extra and changed", mixed, 3, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EchoCount count = CompareEcho(sent, c.received);
        EXPECT_EQ(count.sent, 200u);
        EXPECT_EQ(count.received, c.received.size());
        EXPECT_EQ(count.lost, c.lost);
        EXPECT_EQ(count.changed, c.changed);
        EXPECT_EQ(count.extra, c.extra);
    }
}

TEST(LineTestTest, ReplyTimesAndTheVerdict) {
    ReplyTimes odd = SummarizeReplyTimes({5, 1, 3});
    EXPECT_EQ(odd.medianMs, 3);
    EXPECT_EQ(odd.p99Ms, 5);
    std::vector<double> many;
    for (int i = 1; i <= 200; ++i) many.push_back(i);
    ReplyTimes hundred = SummarizeReplyTimes(many);
    EXPECT_EQ(hundred.medianMs, 100.5);
    EXPECT_EQ(hundred.p99Ms, 198);  // 198 of 200 stay within it
    EXPECT_EQ(SummarizeReplyTimes({}).count, 0u);

    struct Case {
        const char* name;
        ControllerLineCount count;
        LineVerdict verdict;
    };
    ControllerLineCount clean;
    clean.bothReadsEnded = true;
    auto with = [&](auto change) {
        ControllerLineCount c = clean;
        change(c);
        return c;
    };
    const Case cases[] = {
        {"clean", clean, LineSound},
        {"bad checksum", with([](ControllerLineCount& c) { c.badChecksums = 1; }),
         LineCableOrAdapter},
        {"NAK", with([](ControllerLineCount& c) { c.naks = 1; }), LineCableOrAdapter},
        {"answer cut short", with([](ControllerLineCount& c) { c.shortAnswers = 1; }),
         LineCableOrAdapter},
        {"driver counted", with([](ControllerLineCount& c) { c.driverFaults = 2; }),
         LineCableOrAdapter},
        {"garbled and silent",
         with([](ControllerLineCount& c) { c.otherAnswers = c.silences = 1; }), LineCableOrAdapter},
        {"silence alone", with([](ControllerLineCount& c) { c.silences = 1; }), LineController},
        {"reads differ", with([](ControllerLineCount& c) { c.blocksDiffering = 3; }),
         LineController},
        {"stopped answering", with([](ControllerLineCount& c) { c.bothReadsEnded = false; }),
         LineController},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JudgeControllerLine(c.count), c.verdict);
    }
    EXPECT_STREQ(VerdictText(LineSound), "linia w porządku");
    EXPECT_STREQ(VerdictText(LineCableOrAdapter), "kabel lub adapter");
    EXPECT_STREQ(VerdictText(LineController), "sterownik");
}

void Out(const std::string& bytes) {
    NoteLineBytes(LineOut, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                  bytes.size());
}
void In(const std::string& bytes, unsigned long requested) {
    NoteLineBytes(LineIn, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), requested);
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool Has(const std::string& line, const std::string& part) {
    return line.find(part) != std::string::npos;
}

TEST(LineTraceTest, EachExchangeSaysWhatItWasWithItsBytes) {
    TransferJob.kind = KindLibraries;
    StartLineTrace(nullptr);
    Out("\x1b");
    In(std::string("\x03\x05\x01\x14\xe3\x06", 6), IdentReplySize);
    Out(std::string("\x12\x07\x02\xe5", 4));  // block 0x207 = 519: the 8th of the libraries
    In("\x06", ByteReplySize);
    std::string frame = Bytes256(256);
    frame += char(0x5a);
    In(frame, DataFrameSize);
    In("", ByteReplySize);
    Out(std::string("\x11\x08\x02\xe5", 4));
    In("\x15", ByteReplySize);
    Out(frame);
    In("", ByteReplySize);
    In(frame.substr(0, 100), DataFrameSize);
    StopLineTrace();
    std::vector<std::string> lines = LinesOf(KeptExchangesText());
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], "Wymiany z linią : 11, ostatnie 11 :");
    struct Row {
        const char* what;
        const char* bytes;
    };
    const Row rows[] = {
        {"->  zapytanie o wersję (ESC)", "[1b]"},
        {"<-  odpowiedź identyfikacji", "[03 05 01 14 e3 06]"},
        {"->  polecenie odczytu, blok 8 z 384", "[12 07 02 e5]"},
        {"<-  odpowiedź na polecenie : ACK", "[06]"},
        {"<-  ramka danych, blok 8 z 384", "[0b 30 55 7a 9f c4 e9 0e 33 58 7d a2 c7 ec 11 36 ... "},
        {"<-  nic więcej po ramce", ""},
        {"->  polecenie zapisu, blok 9 z 384", "[11 08 02 e5]"},
        {"<-  odpowiedź na polecenie : NAK", "[15]"},
        {"->  ramka danych, blok 9 z 384", " | suma 5a]"},
        {"<-  cisza : nic z 1 B", ""},
        {"<-  ramka danych, blok 9 z 384 (100 z 257 B)", ""},
    };
    for (size_t i = 0; i < 11; ++i) {
        SCOPED_TRACE(lines[i + 1]);
        EXPECT_TRUE(Has(lines[i + 1], rows[i].what));
        EXPECT_TRUE(Has(lines[i + 1], rows[i].bytes));
        EXPECT_EQ(lines[i + 1].find(" s  +"), 12u);  // seconds, then the gap
    }
    // A data frame is its first and last 16 bytes (the last its checksum), nothing between.
    const std::string& shown = lines[5];
    std::string inside = shown.substr(shown.find('[') + 1);
    size_t bytes = 0;
    for (size_t at = 0; at + 1 < inside.size(); ++at)
        if (std::isxdigit((unsigned char)inside[at]) &&
            std::isxdigit((unsigned char)inside[at + 1]) &&
            (at + 2 == inside.size() || !std::isalnum((unsigned char)inside[at + 2])) &&
            (at == 0 || inside[at - 1] == ' ')) {
            ++bytes;
            ++at;
        }
    EXPECT_EQ(bytes, 32u) << shown;
}

TEST(LineTraceTest, OnlyTheLastExchangesAreKept) {
    StartLineTrace(nullptr);
    for (int i = 0; i < 70; ++i) Out(std::string(1, char(i)));
    StopLineTrace();
    std::vector<std::string> lines = LinesOf(KeptExchangesText());
    ASSERT_EQ(lines.size(), 1u + TraceDepth);
    EXPECT_EQ(lines[0], "Wymiany z linią : 70, ostatnie 64 :");
    EXPECT_TRUE(Has(lines[1], "[06]"));  // the 7th, the first kept
    EXPECT_TRUE(Has(lines[64], "[45]"));
    // Nobody watches once stopped.
    Out("x");
    EXPECT_EQ(ExchangeCount(), 70u);
}

}  // namespace

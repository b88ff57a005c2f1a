// The command line as dm730 reads it: every command with its operands and
// options, and what a wrong one is told.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "protocol/regions.h"

namespace {

struct ParseCase {
    std::vector<const char*> words;  // after the program name
    int command;                     // -1: refused
    int kind;
    const char* path;
    const char* port;
    bool force;
    bool quiet;
    unsigned long maxDifferences;
    const char* problem;  // part of the complaint when refused
};

const int Refused = -1;
const unsigned long Max = DefaultMaxDifferences;

TEST(ParseCommandLine, ReadsEachCommandAndRefusesWhatDoesNotFit) {
    const ParseCase cases[] = {
        {{"ports"}, CommandPorts, 0, "", "", false, false, Max, ""},
        {{"detect", "--port", "/dev/ttyUSB0"},
         CommandDetect,
         0,
         "",
         "/dev/ttyUSB0",
         false,
         false,
         Max,
         ""},
        {{"write", "scenes", "a.usr", "--port=COM3"},
         CommandWrite,
         KindScenes,
         "a.usr",
         "COM3",
         false,
         false,
         Max,
         ""},
        {{"read", "--force", "firmware", "f.upg"},
         CommandRead,
         KindFirmware,
         "f.upg",
         "",
         true,
         false,
         Max,
         ""},
        {{"verify", "libraries", "l.lib", "--max-differences", "5", "--quiet"},
         CommandVerify,
         KindLibraries,
         "l.lib",
         "",
         false,
         true,
         5,
         ""},
        {{"verify", "libraries", "l.lib", "--max-differences=0"},
         CommandVerify,
         KindLibraries,
         "l.lib",
         "",
         false,
         false,
         0,
         ""},
        {{"backup", "kopia", "--force", "--quiet"},
         CommandBackup,
         0,
         "kopia",
         "",
         true,
         true,
         Max,
         ""},
        {{"read", "scenes", "--", "-odd.usr"},
         CommandRead,
         KindScenes,
         "-odd.usr",
         "",
         false,
         false,
         Max,
         ""},
        {{"write", "bogus", "--help"}, CommandHelp, 0, "", "", false, false, Max, ""},
        {{"help"}, CommandHelp, 0, "", "", false, false, Max, ""},
        {{}, Refused, 0, "", "", false, false, Max, "brak polecenia"},
        {{"frobnicate"}, Refused, 0, "", "", false, false, Max, "nieznane polecenie : frobnicate"},
        {{"write", "scenes"},
         Refused,
         0,
         "",
         "",
         false,
         false,
         Max,
         "za mało argumentów polecenia write"},
        {{"write", "scenes", "a.usr", "b.usr"},
         Refused,
         0,
         "",
         "",
         false,
         false,
         Max,
         "zbędny argument : b.usr"},
        {{"backup"}, Refused, 0, "", "", false, false, Max, "za mało argumentów"},
        {{"write", "music", "a.usr"},
         Refused,
         0,
         "",
         "",
         false,
         false,
         Max,
         "nieznany rodzaj danych : music"},
        {{"write", "scenes", "a.usr", "--force"},
         Refused,
         0,
         "",
         "",
         false,
         false,
         Max,
         "opcja --force nie dotyczy polecenia write"},
        {{"ports", "--port", "COM1"},
         Refused,
         0,
         "",
         "",
         false,
         false,
         Max,
         "nie dotyczy polecenia ports"},
        {{"verify", "scenes", "a.usr", "--max-differences", "x"},
         Refused,
         0,
         "",
         "",
         false,
         false,
         Max,
         "wymaga liczby"},
        {{"verify", "scenes", "a.usr", "--max-differences", "-1"},
         Refused,
         0,
         "",
         "",
         false,
         false,
         Max,
         "wymaga liczby"},
        {{"verify", "scenes", "a.usr", "--max-differences"},
         Refused,
         0,
         "",
         "",
         false,
         false,
         Max,
         "brak wartości opcji --max-differences"},
        {{"detect", "--port="}, Refused, 0, "", "", false, false, Max, "pusta nazwa portu"},
        {{"read", "scenes", "a.usr", "--force=yes"},
         Refused,
         0,
         "",
         "",
         false,
         false,
         Max,
         "nie przyjmuje wartości"},
        {{"detect", "--bogus"}, Refused, 0, "", "", false, false, Max, "nieznana opcja : --bogus"},
    };
    for (const ParseCase& c : cases) {
        std::vector<const char*> argv = {"dm730"};
        argv.insert(argv.end(), c.words.begin(), c.words.end());
        std::string trace;
        for (const char* w : argv) trace += std::string(w) + " ";
        SCOPED_TRACE(trace);
        CommandLine line;
        std::string problem;
        int outcome = ParseCommandLine(int(argv.size()), argv.data(), &line, &problem);
        if (c.command == Refused) {
            EXPECT_EQ(outcome, ParseFailed);
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
            continue;
        }
        ASSERT_EQ(outcome, ParsedCommand) << problem;
        EXPECT_EQ(line.command, c.command);
        if (c.command == CommandHelp) continue;
        EXPECT_EQ(line.kind, c.kind);
        EXPECT_EQ(line.path, c.path);
        EXPECT_EQ(line.port, c.port);
        EXPECT_EQ(line.force, c.force);
        EXPECT_EQ(line.quiet, c.quiet);
        EXPECT_EQ(line.maxDifferences, c.maxDifferences);
    }
}

}  // namespace

// The command line as dm730 reads it: every command with its operands and
// options, and what a wrong one is told.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/commands/arguments.h"

namespace {

const char* const CommandWords[] = {"help",    "ports",         "detect",  "write",
                                    "read",    "verify",        "backup",  "version",
                                    "restore", "verify-folder", "linetest"};
const char* const KindWords[] = {"firmware", "libraries", "scenes"};

// What was read, in one line: the command, then only what it was given.
std::string Describe(const CommandLine& line) {
    std::string text = CommandWords[line.command];
    if (line.command >= CommandWrite && line.command <= CommandVerify)
        text += std::string(" ") + KindWords[line.kind];
    if (!line.path.empty()) text += " " + line.path;
    for (const std::string& port : line.ports) text += " port=" + port;
    if (line.all) text += " all";
    if (line.force) text += " force";
    if (line.resume) text += " resume";
    if (line.topic != CommandHelp) text += std::string(" about ") + CommandWords[line.topic];
    // Only where it differs from the command's own default.
    if (line.readBack != (line.command == CommandRestore))
        text += line.readBack ? " read-back" : " no-read-back";
    if (line.quiet) text += " quiet";
    if (line.retries != DefaultRetries) text += " retries=" + std::to_string(line.retries);
    if (line.fromBlock != 0) text += " from=" + std::to_string(line.fromBlock);
    if (line.maxDifferences != DefaultMaxDifferences)
        text += " max=" + std::to_string(line.maxDifferences);
    if (!line.traceFile.empty()) text += " trace=" + line.traceFile;
    if (!line.trace) text += " no-trace";
    if (line.loopback) text += " loopback";
    if (line.seconds != 0) text += " seconds=" + std::to_string(line.seconds);
    if (line.json) text += " json";
    return text;
}

TEST(ParseCommandLine, ReadsEachCommandAndRefusesWhatDoesNotFit) {
    // The words after the program's name, split at spaces; "!" starts a complaint.
    const std::pair<const char*, const char*> cases[] = {
        {"ports", "ports"},
        {"detect --port /dev/ttyUSB0", "detect port=/dev/ttyUSB0"},
        {"write scenes a.usr --port=COM3", "write scenes a.usr port=COM3"},
        {"read --force firmware f.upg", "read firmware f.upg force"},
        {"verify libraries l.lib --max-differences 5 --quiet",
         "verify libraries l.lib quiet max=5"},
        {"verify libraries l.lib --max-differences=0", "verify libraries l.lib max=0"},
        {"backup kopia --force", "backup kopia force"},
        {"write firmware f.upg --verify", "write firmware f.upg read-back"},
        {"restore kopia --no-verify --port COM2", "restore kopia port=COM2 no-read-back"},
        {"verify kopia --max-differences 3", "verify-folder kopia max=3"},
        {"verify scenes", "!za mało argumentów polecenia verify"},
        {"restore kopia --verify", "!opcja --verify nie dotyczy polecenia restore"},
        {"write scenes a.usr --verify=yes", "!opcja --verify nie przyjmuje wartości"},
        {"read scenes -- -odd.usr", "read scenes -odd.usr"},
        {"write bogus --help", "help about write"},
        {"--help detect", "help about detect"},
        {"help help", "help"},
        {"write scenes a.usr --from-block 3 --retries 0", "write scenes a.usr retries=0 from=3"},
        {"restore kopia --resume --retries=7", "restore kopia resume retries=7"},
        {"write scenes a.usr --from-block 0", "!--from-block : bloki liczone są od 1"},
        {"read scenes a.usr --retries 101", "!--retries : najwyżej 100"},
        {"read scenes a.usr --from-block 2", "!opcja --from-block nie dotyczy polecenia read"},
        {"help", "help"},
        {"help write", "help about write"},
        {"-q --port COM2 detect", "detect port=COM2 quiet"},
        {"read scenes a.usr --resume -q", "read scenes a.usr resume quiet"},
        {"write scenes a.usr --resume", "!opcja --resume nie dotyczy polecenia write"},
        {"help flash", "!nieznane polecenie : flash"},
        {"read scenes a.usr --version", "version"},
        {"-V", "version"},
        {"write -- --version", "!za mało argumentów polecenia write"},
        {"", "!brak polecenia"},
        {"frobnicate", "!nieznane polecenie : frobnicate"},
        {"write scenes", "!za mało argumentów polecenia write"},
        {"write scenes a.usr b.usr", "!zbędny argument : b.usr"},
        {"write music a.usr", "!nieznany rodzaj danych : music (firmware, libraries, scenes)"},
        {"write scenes a.usr --force", "!opcja --force nie dotyczy polecenia write"},
        {"ports --port COM1", "!opcja --port nie dotyczy polecenia ports"},
        {"verify scenes a.usr --max-differences -1", "!--max-differences wymaga liczby, nie : -1"},
        {"verify scenes a.usr --max-differences", "!brak wartości opcji --max-differences"},
        {"detect --port=", "!pusta nazwa portu"},
        {"read scenes a.usr --force=yes", "!opcja --force nie przyjmuje wartości"},
        {"detect --bogus", "!nieznana opcja : --bogus"},
        // The line's trace, a line test, events, several controllers.
        {"read scenes a.usr --trace t.txt", "read scenes a.usr trace=t.txt"},
        {"detect --no-trace --json", "detect no-trace json"},
        {"detect --trace t.txt --no-trace", "!opcje --trace i --no-trace wykluczają się"},
        {"ports --json", "ports json"},
        {"linetest --loopback --seconds 3 --port COM4", "linetest port=COM4 loopback seconds=3"},
        {"linetest --seconds 3", "!--seconds dotyczy tylko linetest --loopback"},
        {"linetest --loopback --seconds 0", "!--seconds : od 1 do 86400"},
        {"detect --loopback", "!opcja --loopback nie dotyczy polecenia detect"},
        {"write firmware f.upg --port COM3 --port COM4",
         "write firmware f.upg port=COM3 port=COM4"},
        {"backup kopia --all", "backup kopia all"},
        {"read firmware f.upg --port COM3 --port COM4",
         "!polecenie read działa na jednym sterowniku : jedna opcja --port"},
        {"restore kopia --all", "restore kopia all"},
        {"restore kopia --port COM2 --port COM3", "restore kopia port=COM2 port=COM3"},
        {"linetest --all", "!opcja --all nie dotyczy polecenia linetest"},
        {"ports --lang en", "ports"},
        {"--lang=pl verify kopia", "verify-folder kopia"},
        {"detect --lang xx", "!--lang : pl albo en, nie : xx"},
        {"detect --lang", "!brak wartości opcji --lang"},
        {"detect --all --port COM3", "!opcje --all i --port wykluczają się"},
        {"detect --port COM3 --port COM4 --trace t.txt",
         "!--trace zapisuje wymiany jednego sterownika : z jedną opcją --port"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words = {"dm730"};
        std::istringstream split(c.first);
        for (std::string w; split >> w;) words.push_back(w);
        std::vector<const char*> argv;
        for (const std::string& w : words) argv.push_back(w.c_str());
        CommandLine line;
        std::string problem;
        int outcome = ParseCommandLine(int(argv.size()), argv.data(), &line, &problem);
        EXPECT_EQ(outcome == ParsedCommand ? Describe(line) : "!" + problem, c.second) << c.first;
    }
}

}  // namespace

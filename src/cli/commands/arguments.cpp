#include "cli/commands/arguments.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/console/progress.h"
#include "protocol/regions.h"

namespace {

// Which options a command takes; one bit an option.
enum OptionBit {
    TakesPort = 1,
    TakesForce = 2,
    TakesMaxDifferences = 4,
    TakesResume = 8,
    TakesQuiet = 16,  // every command
    TakesVerify = 32,
    TakesNoVerify = 64,
    // Asked for anywhere, however wrong the rest of the line.
    AsksHelp = 128,
    AsksVersion = 256,
    TakesRetries = 512,
    TakesFromBlock = 1024,
    TakesTrace = 2048,
    TakesNoTrace = 4096,
    TakesLoopback = 8192,
    TakesSeconds = 16384,
    TakesJson = 32768,  // every command
    TakesAll = 65536,
};

// The commands that may run on several controllers at once.
const int ManyControllers = TakesAll;

// Every command that talks to the controller keeps a trace of the line.
const int TalksToLine = TakesPort | TakesTrace | TakesNoTrace;

// The longest line test: a day.
const unsigned long MostSeconds = 86400;

// The most retries a block may take: more would only hide a line that has failed.
const unsigned long MostRetries = 100;

// A new option is one row here and its bit in the commands that take it.
struct OptionForm {
    const char* name;
    const char* shortName;  // or null
    int bit;
    const char* valueName;  // what its value is called in the help; null: it takes none
    // For the help; a line end starts a line under the first.
    const char* help;
};

const OptionForm OptionForms[] = {
    {"--all", nullptr, TakesAll, nullptr,
     "detect, write, verify, backup: na każdym porcie, na którym\n"
     "odpowiada sterownik, każdy w osobnym procesie"},
    {"--port", nullptr, TakesPort, "P",
     "port sterownika: COM3 w Windows, ścieżka urządzenia\n"
     "w Linuksie (/dev/ttyUSB0), albo adapter: serial=NUMER,\n"
     "VID:PID (0403:6001), location=1-1.2, nazwa z\n"
     "/dev/serial/by-id (dm730 ports podaje, co wybiera port\n"
     "jednoznacznie); bez tej opcji sterownik jest szukany\n"
     "na każdym porcie, jak robi to okno; podany kilka razy\n"
     "(detect, write, verify, backup): na każdym z tych portów"},
    {"--force", nullptr, TakesForce, nullptr,
     "read, backup: zastąp istniejące pliki (także PLIK.part)"},
    {"--resume", nullptr, TakesResume, nullptr,
     "read: dokończ odczyt zebrany w PLIK.part;\n"
     "restore: dokończ przerwane odtworzenie kopii"},
    {"--from-block", nullptr, TakesFromBlock, "N",
     "write: zapisz od bloku N obszaru (od 1), by dokończyć\n"
     "przerwany zapis; blok przed nim musi już być w Dm730"},
    {"--retries", nullptr, TakesRetries, "N",
     "ile razy ponowić blok po błędzie linii (domyślnie 3;\n"
     "0: pierwszy błąd kończy transmisję, jak w oknie)"},
    {"--verify", nullptr, TakesVerify, nullptr,
     "write: odczytaj zapisane bloki i porównaj z plikiem"},
    {"--no-verify", nullptr, TakesNoVerify, nullptr,
     "restore: bez odczytu kontrolnego (o połowę krócej)"},
    {"--max-differences", nullptr, TakesMaxDifferences, "N",
     "verify: wypisz najwyżej N różnic (domyślnie 20),\npozostałe tylko policz"},
    {"--trace", nullptr, TakesTrace, "PLIK",
     "dopisz do PLIKU każdą wymianę z linią (czas, kierunek,\n"
     "co to jest, bajty); bez tej opcji ostatnie 64 wymiany\n"
     "trafiają do dm730-trace-CZAS.txt w folderze stanu, gdy\n"
     "polecenie kończy się kodem 1, 5 lub 6"},
    {"--no-trace", nullptr, TakesNoTrace, nullptr, "nie zapisuj żadnych wymian z linią"},
    {"--loopback", nullptr, TakesLoopback, nullptr,
     "linetest: na porcie jest wtyczka pętli zwrotnej\n(TX połączone z RX), nie Dm730"},
    {"--seconds", nullptr, TakesSeconds, "N",
     "linetest --loopback: jak długo nadawać (domyślnie 10 s)"},
    {"--json", nullptr, TakesJson, nullptr,
     "wyniki dla programów: na stdout wiersze JSON (tylko\n"
     "ASCII) wg schematu dm730-events; teksty dla ludzi idą\n"
     "wtedy na stderr"},
    {"--quiet", "-q", TakesQuiet, nullptr,
     "nie pokazuj postępu ani podsumowania, tylko błędy\n(i różnice weryfikacji)"},
    {"--help", "-h", AsksHelp, nullptr, "ten opis"},
    {"--version", "-V", AsksVersion, nullptr, "wersja programu"},
};

// A new command is one row here (and its Run function in main.cpp).
struct CommandForm {
    const char* word;
    CommandId command;
    bool kindOperand;  // KIND before the path
    int paths;         // 0 or 1
    int options;
    const char* usage;  // after "dm730 ", then what it does on the next line
};

const CommandForm CommandForms[] = {
    {"ports", CommandPorts, false, 0, 0,
     "ports\n    lista portów szeregowych: nazwa, adapter (VID:PID, nazwa, numer seryjny,\n"
     "    miejsce), czy zajęty, i --port, który go wybiera jednoznacznie"},
    {"detect", CommandDetect, false, 0, TalksToLine | ManyControllers,
     "detect [--port P ... | --all]\n    znajdź sterownik: jego port i obie wersje"},
    {"write", CommandWrite, true, 1,
     TalksToLine | ManyControllers | TakesVerify | TakesFromBlock | TakesRetries,
     "write RODZAJ PLIK [--port P ... | --all] [--verify] [--from-block N] [--retries N]\n"
     "    zapisz plik do pamięci Dm730 (--verify: odczytaj zapisane bloki i porównaj)"},
    {"read", CommandRead, true, 1, TalksToLine | TakesForce | TakesResume | TakesRetries,
     "read RODZAJ PLIK [--port P] [--force] [--resume] [--retries N]\n"
     "    odczytaj obszar pamięci Dm730 do pliku"},
    {"verify", CommandVerify, true, 1,
     TalksToLine | ManyControllers | TakesMaxDifferences | TakesRetries,
     "verify RODZAJ PLIK [--port P ... | --all] [--max-differences N] [--retries N]\n"
     "    porównaj plik z pamięcią Dm730\n"
     "  dm730 verify FOLDER [--port P] [--max-differences N] [--retries N]\n"
     "    porównaj całą kopię zapasową z pamięcią Dm730"},
    {"backup", CommandBackup, false, 1, TalksToLine | ManyControllers | TakesForce | TakesRetries,
     "backup FOLDER [--port P ... | --all] [--force] [--retries N]\n"
     "    odczytaj wszystkie trzy obszary do folderu, z opisem kopii i sumami SHA-256"},
    {"restore", CommandRestore, false, 1,
     TalksToLine | TakesResume | TakesNoVerify | TakesMaxDifferences | TakesRetries,
     "restore FOLDER [--port P] [--resume] [--no-verify] [--max-differences N] [--retries N]\n"
     "    zapisz kopię zapasową do Dm730 i odczytaj każdy obszar z powrotem do porównania"},
    {"linetest", CommandLineTest, false, 0,
     TalksToLine | TakesLoopback | TakesSeconds | TakesRetries,
     "linetest [--port P] [--loopback] [--seconds N] [--retries N]\n"
     "    sprawdź linię: z Dm730 dwa odczyty 100 bloków programu (nic nie zmienia),\n"
     "    z wtyczką pętli zwrotnej (--loopback) N sekund losowych bajtów; kończy się\n"
     "    werdyktem : linia w porządku, kabel lub adapter, sterownik"},
};

bool Fail(std::string* problem, const std::string& text) {
    *problem = text;
    return false;
}

bool ParseCount(const char* text, unsigned long* value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    *value = std::strtoul(text, &end, 10);
    return errno == 0 && *end == '\0';
}

const CommandForm* FormOf(const std::string& word) {
    for (const CommandForm& f : CommandForms)
        if (word == f.word) return &f;
    return nullptr;
}

const OptionForm* OptionOf(const std::string& name) {
    for (const OptionForm& o : OptionForms)
        if (name == o.name || (o.shortName != nullptr && name == o.shortName)) return &o;
    return nullptr;
}

struct GivenOption {
    const OptionForm* form;
    std::string name;
    const char* value;  // null: none given
};

bool ApplyOption(const CommandForm& command, const GivenOption& given, CommandLine* line,
                 std::string* problem) {
    const OptionForm& o = *given.form;
    if (o.bit != TakesQuiet && o.bit != TakesJson && (command.options & o.bit) == 0)
        return Fail(problem, "opcja " + given.name + " nie dotyczy polecenia " + command.word);
    if (o.valueName == nullptr) {
        if (given.value) return Fail(problem, "opcja " + given.name + " nie przyjmuje wartości");
        if (o.bit == TakesForce) line->force = true;
        if (o.bit == TakesResume) line->resume = true;
        if (o.bit == TakesQuiet) line->quiet = true;
        if (o.bit == TakesJson) line->json = true;
        if (o.bit == TakesAll) line->all = true;
        if (o.bit == TakesVerify) line->readBack = true;
        if (o.bit == TakesNoVerify) line->readBack = false;
        if (o.bit == TakesNoTrace) line->trace = false;
        if (o.bit == TakesLoopback) line->loopback = true;
        return true;
    }
    if (o.bit == TakesPort) {
        if (*given.value == '\0') return Fail(problem, "pusta nazwa portu");
        if (line->ports.empty()) line->port = given.value;
        line->ports.push_back(given.value);
        if (line->ports.size() > 1 && (command.options & ManyControllers) == 0)
            return Fail(problem, std::string("polecenie ") + command.word +
                                     " działa na jednym sterowniku : jedna opcja --port");
        return true;
    }
    if (o.bit == TakesTrace) {
        if (*given.value == '\0') return Fail(problem, "pusta nazwa pliku --trace");
        line->traceFile = given.value;
        return true;
    }
    unsigned long* count = o.bit == TakesRetries     ? &line->retries
                           : o.bit == TakesFromBlock ? &line->fromBlock
                           : o.bit == TakesSeconds   ? &line->seconds
                                                     : &line->maxDifferences;
    if (!ParseCount(given.value, count))
        return Fail(problem, given.name + " wymaga liczby, nie : " + std::string(given.value));
    if (o.bit == TakesRetries && *count > MostRetries)
        return Fail(problem, "--retries : najwyżej " + std::to_string(MostRetries));
    if (o.bit == TakesFromBlock && *count == 0)
        return Fail(problem, "--from-block : bloki liczone są od 1");
    if (o.bit == TakesSeconds && (*count == 0 || *count > MostSeconds))
        return Fail(problem, "--seconds : od 1 do " + std::to_string(MostSeconds));
    return true;
}

bool ParseKind(const std::string& word, DataKind* kind, std::string* problem) {
    if (KindOfWord(word.c_str(), kind)) return true;
    std::string words;
    for (const DataKindFacts& facts : DataKindTable)
        words += std::string(words.empty() ? "" : ", ") + facts.word;
    return Fail(problem, "nieznany rodzaj danych : " + word + " (" + words + ")");
}

// Options stand anywhere, before the command word or after it; "--" ends them.
bool Parse(int argc, const char* const* argv, CommandLine* line, std::string* problem) {
    *line = CommandLine();
    // Asking for help or the version anywhere is enough, however wrong the
    // rest; help with a command word is that command's usage.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const OptionForm* asked = OptionOf(argv[i]);
        if (asked == nullptr || (asked->bit & (AsksHelp | AsksVersion)) == 0) continue;
        if (asked->bit == AsksVersion) line->command = CommandVersion;
        for (int j = 1; j < argc && asked->bit == AsksHelp; ++j) {
            const CommandForm* topic = FormOf(argv[j]);
            if (topic == nullptr) continue;
            line->topic = topic->command;
            break;
        }
        return true;
    }
    std::vector<std::string> words;
    std::vector<GivenOption> options;
    // Told once the command is known, so that its usage can follow.
    std::string optionProblem;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            words.push_back(arg);
            continue;
        }
        size_t eq = arg.find('=');
        GivenOption given = {nullptr, arg.substr(0, eq), nullptr};
        if (eq != std::string::npos) given.value = argv[i] + eq + 1;
        given.form = OptionOf(given.name);
        if (given.form == nullptr) {
            if (optionProblem.empty()) optionProblem = "nieznana opcja : " + given.name;
            continue;
        }
        if (given.form->valueName != nullptr && given.value == nullptr) {
            if (i + 1 >= argc) {
                if (optionProblem.empty()) optionProblem = "brak wartości opcji " + given.name;
                continue;
            }
            given.value = argv[++i];
        }
        options.push_back(given);
    }
    if (words.empty())
        return Fail(problem, optionProblem.empty() ? "brak polecenia" : optionProblem);
    if (words[0] == "help") {
        if (!optionProblem.empty()) return Fail(problem, optionProblem);
        if (words.size() > 2) return Fail(problem, "zbędny argument : " + words[2]);
        // "help help" is the whole help, which says what help does.
        if (words.size() == 2 && words[1] != "help") {
            const CommandForm* topic = FormOf(words[1]);
            if (topic == nullptr) return Fail(problem, "nieznane polecenie : " + words[1]);
            line->topic = topic->command;
        }
        return true;
    }
    const CommandForm* form = FormOf(words[0]);
    if (form == nullptr) return Fail(problem, "nieznane polecenie : " + words[0]);
    line->command = form->command;
    // A restore reads back what it wrote unless told not to; a write only when asked.
    line->readBack = form->command == CommandRestore;
    if (!optionProblem.empty()) return Fail(problem, optionProblem);
    for (const GivenOption& given : options)
        if (!ApplyOption(*form, given, line, problem)) return false;
    if (!line->trace && !line->traceFile.empty())
        return Fail(problem, "opcje --trace i --no-trace wykluczają się");
    if (line->all && !line->ports.empty())
        return Fail(problem, "opcje --all i --port wykluczają się");
    if ((line->all || line->ports.size() > 1) && !line->traceFile.empty())
        return Fail(problem, "--trace zapisuje wymiany jednego sterownika : z jedną opcją --port");
    if (line->seconds != 0 && !line->loopback)
        return Fail(problem, "--seconds dotyczy tylko linetest --loopback");
    // verify FOLDER: a whole backup instead of one region's file. A kind
    // alone is a file forgotten, not a folder of that name.
    DataKind kind;
    std::string notKind;
    if (form->command == CommandVerify && words.size() == 2 &&
        !ParseKind(words[1], &kind, &notKind)) {
        line->command = CommandVerifyBackup;
        line->path = words[1];
        return true;
    }
    size_t wanted = size_t(form->kindOperand) + size_t(form->paths);
    if (words.size() - 1 < wanted)
        return Fail(problem, std::string("za mało argumentów polecenia ") + form->word);
    if (words.size() - 1 > wanted) return Fail(problem, "zbędny argument : " + words[wanted + 1]);
    if (form->kindOperand && !ParseKind(words[1], &line->kind, problem)) return false;
    if (form->paths) line->path = words.back();
    return true;
}

}  // namespace

ParseOutcome ParseCommandLine(int argc, const char* const* argv, CommandLine* line,
                              std::string* problem) {
    return Parse(argc, argv, line, problem) ? ParsedCommand : ParseFailed;
}

std::string UsageOf(CommandId command) {
    std::string text;
    for (const CommandForm& f : CommandForms)
        if (command == CommandHelp || command == f.command)
            text += std::string("  dm730 ") + f.usage + "\n";
    return text;
}

const char* CommandWord(CommandId command) {
    if (command == CommandVerifyBackup) command = CommandVerify;
    for (const CommandForm& f : CommandForms)
        if (f.command == command) return f.word;
    return command == CommandVersion ? "version" : "help";
}

std::string OptionsHelp() {
    // The name column, then the help; its further lines under the first.
    const size_t column = 23;
    std::string text;
    for (const OptionForm& o : OptionForms) {
        std::string label =
            o.shortName != nullptr ? std::string(o.shortName) + ", " + o.name : std::string(o.name);
        if (o.valueName != nullptr) label += std::string(" ") + o.valueName;
        label.resize(std::max(label.size() + 1, column), ' ');
        std::string help = o.help;
        for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1))
            help.insert(at + 1, std::string(2 + column, ' '));
        text += "  " + label + help + "\n";
    }
    return text;
}

std::string KindsHelp() {
    std::string text;
    for (const DataKindFacts& facts : DataKindTable) {
        std::string extensions;
        for (int i = 0; facts.extensions[i] != nullptr; ++i)
            extensions += std::string(i == 0 ? "." : " lub .") + facts.extensions[i];
        unsigned blocks = facts.region.blockCount;
        char line[160];
        std::snprintf(line, sizeof line, "  %-12s %s, %s: %u %s (%u KiB)\n", facts.word,
                      facts.contents, extensions.c_str(), blocks, BlocksWord(blocks),
                      blocks * BlockSize / 1024);
        text += line;
    }
    return text;
}

#include "cli/arguments.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "protocol/regions.h"

const char* const DataKindWords[3] = {"firmware", "libraries", "scenes"};

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
};

// A new option is one row here and its bit in the commands that take it.
struct OptionForm {
    const char* name;
    const char* shortName;  // or null
    int bit;
    bool takesValue;
};

const OptionForm OptionForms[] = {
    {"--port", nullptr, TakesPort, true},
    {"--force", nullptr, TakesForce, false},
    {"--resume", nullptr, TakesResume, false},
    {"--max-differences", nullptr, TakesMaxDifferences, true},
    {"--quiet", "-q", TakesQuiet, false},
    {"--verify", nullptr, TakesVerify, false},
    {"--no-verify", nullptr, TakesNoVerify, false},
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
    {"ports", CommandPorts, false, 0, 0, "ports\n    lista portów szeregowych (nazwa i opis)"},
    {"detect", CommandDetect, false, 0, TakesPort,
     "detect [--port P]\n    znajdź sterownik: jego port i obie wersje"},
    {"write", CommandWrite, true, 1, TakesPort | TakesVerify,
     "write RODZAJ PLIK [--port P] [--verify]\n    zapisz plik do pamięci Dm730 (--verify: "
     "odczytaj zapisane bloki i porównaj)"},
    {"read", CommandRead, true, 1, TakesPort | TakesForce | TakesResume,
     "read RODZAJ PLIK [--port P] [--force] [--resume]\n    odczytaj obszar pamięci Dm730 do "
     "pliku"},
    {"verify", CommandVerify, true, 1, TakesPort | TakesMaxDifferences,
     "verify RODZAJ PLIK [--port P] [--max-differences N]\n    porównaj plik z pamięcią Dm730\n"
     "  dm730 verify FOLDER [--port P] [--max-differences N]\n    porównaj całą kopię zapasową "
     "z pamięcią Dm730"},
    {"backup", CommandBackup, false, 1, TakesPort | TakesForce,
     "backup FOLDER [--port P] [--force]\n    odczytaj wszystkie trzy obszary do folderu, z opisem "
     "kopii i sumami SHA-256"},
    {"restore", CommandRestore, false, 1, TakesPort | TakesNoVerify | TakesMaxDifferences,
     "restore FOLDER [--port P] [--no-verify] [--max-differences N]\n    zapisz kopię zapasową do "
     "Dm730 i odczytaj każdy obszar z powrotem do porównania"},
};

bool IsHelpOption(const char* arg) {
    return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0;
}

bool IsVersionOption(const char* arg) {
    return std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-V") == 0;
}

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
    if (o.bit != TakesQuiet && (command.options & o.bit) == 0)
        return Fail(problem, "opcja " + given.name + " nie dotyczy polecenia " + command.word);
    if (!o.takesValue) {
        if (given.value) return Fail(problem, "opcja " + given.name + " nie przyjmuje wartości");
        if (o.bit == TakesForce) line->force = true;
        if (o.bit == TakesResume) line->resume = true;
        if (o.bit == TakesQuiet) line->quiet = true;
        if (o.bit == TakesVerify) line->readBack = true;
        if (o.bit == TakesNoVerify) line->noReadBack = true;
        return true;
    }
    if (o.bit == TakesPort) {
        if (*given.value == '\0') return Fail(problem, "pusta nazwa portu");
        line->port = given.value;
        return true;
    }
    if (!ParseCount(given.value, &line->maxDifferences))
        return Fail(problem, "--max-differences wymaga liczby, nie : " + std::string(given.value));
    return true;
}

bool ParseKind(const std::string& word, DataKind* kind, std::string* problem) {
    for (int k = KindFirmware; k <= KindScenes; ++k) {
        if (word == DataKindWords[k]) {
            *kind = DataKind(k);
            return true;
        }
    }
    return Fail(problem, "nieznany rodzaj danych : " + word + " (firmware, libraries, scenes)");
}

// Options stand anywhere, before the command word or after it; "--" ends them.
bool Parse(int argc, const char* const* argv, CommandLine* line, std::string* problem) {
    *line = CommandLine{CommandHelp,           KindFirmware, "",          "",    false, false,
                        DefaultMaxDifferences, false,        CommandHelp, false, false};
    // Asking for help or the version anywhere is enough, however wrong the rest.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (IsHelpOption(argv[i])) return true;
        if (IsVersionOption(argv[i])) {
            line->command = CommandVersion;
            return true;
        }
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
        if (given.form->takesValue && given.value == nullptr) {
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
        if (words.size() == 2) {
            const CommandForm* topic = FormOf(words[1]);
            if (topic == nullptr) return Fail(problem, "nieznane polecenie : " + words[1]);
            line->topic = topic->command;
        }
        return true;
    }
    const CommandForm* form = FormOf(words[0]);
    if (form == nullptr) return Fail(problem, "nieznane polecenie : " + words[0]);
    line->command = form->command;
    if (!optionProblem.empty()) return Fail(problem, optionProblem);
    for (const GivenOption& given : options)
        if (!ApplyOption(*form, given, line, problem)) return false;
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

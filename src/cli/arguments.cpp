#include "cli/arguments.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "protocol/regions.h"

namespace {

// Which options a command takes and how many operands it wants.
enum OptionBit {
    TakesPort = 1,
    TakesForce = 2,
    TakesMaxDifferences = 4,
    TakesVerify = 8,
    TakesNoVerify = 16,
};

struct CommandForm {
    const char* word;
    CommandId command;
    bool kindOperand;  // KIND before the path
    int paths;         // 0 or 1
    int options;
};

const CommandForm CommandForms[] = {
    {"ports", CommandPorts, false, 0, 0},
    {"detect", CommandDetect, false, 0, TakesPort},
    {"write", CommandWrite, true, 1, TakesPort | TakesVerify},
    {"read", CommandRead, true, 1, TakesPort | TakesForce},
    {"verify", CommandVerify, true, 1, TakesPort | TakesMaxDifferences},
    {"backup", CommandBackup, false, 1, TakesPort | TakesForce},
    {"restore", CommandRestore, false, 1, TakesPort | TakesNoVerify | TakesMaxDifferences},
};

// Spelled as the regions are called in English file names and scripts.
const char* const KindWords[3] = {"firmware", "libraries", "scenes"};

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

// Options take their value as the next argument or after "=".
bool ParseOption(const CommandForm& form, const std::string& arg, int argc, const char* const* argv,
                 int* i, CommandLine* line, std::string* problem) {
    std::string name = arg;
    const char* value = nullptr;
    size_t eq = arg.find('=');
    if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = argv[*i] + eq + 1;
    }
    int bit = name == "--port"              ? TakesPort
              : name == "--force"           ? TakesForce
              : name == "--max-differences" ? TakesMaxDifferences
              : name == "--verify"          ? TakesVerify
              : name == "--no-verify"       ? TakesNoVerify
                                            : 0;
    if (name == "--quiet") {
        if (value) return Fail(problem, "opcja --quiet nie przyjmuje wartości");
        line->quiet = true;
        return true;
    }
    if (bit == 0) return Fail(problem, "nieznana opcja : " + name);
    if ((form.options & bit) == 0)
        return Fail(problem, "opcja " + name + " nie dotyczy polecenia " + form.word);
    if (bit == TakesForce || bit == TakesVerify || bit == TakesNoVerify) {
        if (value) return Fail(problem, "opcja " + name + " nie przyjmuje wartości");
        line->force |= bit == TakesForce;
        line->readBack |= bit == TakesVerify;
        line->noReadBack |= bit == TakesNoVerify;
        return true;
    }
    if (value == nullptr) {
        if (*i + 1 >= argc) return Fail(problem, "brak wartości opcji " + name);
        value = argv[++*i];
    }
    if (bit == TakesPort) {
        if (*value == '\0') return Fail(problem, "pusta nazwa portu");
        line->port = value;
        return true;
    }
    if (!ParseCount(value, &line->maxDifferences))
        return Fail(problem, "--max-differences wymaga liczby, nie : " + std::string(value));
    return true;
}

bool ParseKind(const std::string& word, DataKind* kind, std::string* problem) {
    for (int k = KindFirmware; k <= KindScenes; ++k) {
        if (word == KindWords[k]) {
            *kind = DataKind(k);
            return true;
        }
    }
    return Fail(problem, "nieznany rodzaj danych : " + word + " (firmware, libraries, scenes)");
}

bool Parse(int argc, const char* const* argv, CommandLine* line, std::string* problem) {
    *line = CommandLine{CommandHelp, KindFirmware,          "",    "",   false,
                        false,       DefaultMaxDifferences, false, false};
    // Asking for help or the version anywhere is enough, however wrong the rest.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (IsHelpOption(argv[i])) return true;
        if (IsVersionOption(argv[i])) {
            line->command = CommandVersion;
            return true;
        }
    }
    if (argc < 2) return Fail(problem, "brak polecenia");
    if (std::strcmp(argv[1], "help") == 0) return true;
    const CommandForm* form = nullptr;
    for (const CommandForm& f : CommandForms)
        if (std::strcmp(argv[1], f.word) == 0) form = &f;
    if (form == nullptr) return Fail(problem, std::string("nieznane polecenie : ") + argv[1]);
    line->command = form->command;

    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (!ParseOption(*form, arg, argc, argv, &i, line, problem)) return false;
        } else {
            operands.push_back(arg);
        }
    }
    // verify FOLDER: a whole backup instead of one region's file. A kind
    // alone is a file forgotten, not a folder of that name.
    DataKind kind;
    std::string notKind;
    if (form->command == CommandVerify && operands.size() == 1 &&
        !ParseKind(operands[0], &kind, &notKind)) {
        line->command = CommandVerifyBackup;
        line->path = operands[0];
        return true;
    }
    size_t wanted = size_t(form->kindOperand) + size_t(form->paths);
    if (operands.size() < wanted)
        return Fail(problem, std::string("za mało argumentów polecenia ") + form->word);
    if (operands.size() > wanted) return Fail(problem, "zbędny argument : " + operands[wanted]);
    if (form->kindOperand && !ParseKind(operands[0], &line->kind, problem)) return false;
    if (form->paths) line->path = operands.back();
    return true;
}

}  // namespace

ParseOutcome ParseCommandLine(int argc, const char* const* argv, CommandLine* line,
                              std::string* problem) {
    return Parse(argc, argv, line, problem) ? ParsedCommand : ParseFailed;
}

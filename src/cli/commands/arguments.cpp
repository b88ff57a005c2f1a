#include "cli/commands/arguments.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/console/language.h"
#include "cli/console/messages.h"
#include "cli/console/progress.h"
#include "cli/console/transfer_texts.h"
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
    TakesLanguage = 131072,  // every command
};

// Every command takes these.
const int EveryCommand = TakesQuiet | TakesJson | TakesLanguage;

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
    MessageId valueName;  // what its value is called in the help; MsgNone: it takes none
    // For the help; a line end starts a line under the first.
    MessageId help;
};

const OptionForm OptionForms[] = {
    {"--all", nullptr, TakesAll, MsgNone, MsgOptionAll},
    {"--port", nullptr, TakesPort, MsgValuePort, MsgOptionPort},
    {"--force", nullptr, TakesForce, MsgNone, MsgOptionForce},
    {"--resume", nullptr, TakesResume, MsgNone, MsgOptionResume},
    {"--from-block", nullptr, TakesFromBlock, MsgValueCount, MsgOptionFromBlock},
    {"--retries", nullptr, TakesRetries, MsgValueCount, MsgOptionRetries},
    {"--verify", nullptr, TakesVerify, MsgNone, MsgOptionVerify},
    {"--no-verify", nullptr, TakesNoVerify, MsgNone, MsgOptionNoVerify},
    {"--max-differences", nullptr, TakesMaxDifferences, MsgValueCount, MsgOptionMaxDifferences},
    {"--trace", nullptr, TakesTrace, MsgValueFile, MsgOptionTrace},
    {"--no-trace", nullptr, TakesNoTrace, MsgNone, MsgOptionNoTrace},
    {"--loopback", nullptr, TakesLoopback, MsgNone, MsgOptionLoopback},
    {"--seconds", nullptr, TakesSeconds, MsgValueCount, MsgOptionSeconds},
    {"--json", nullptr, TakesJson, MsgNone, MsgOptionJson},
    {"--lang", nullptr, TakesLanguage, MsgValueLanguage, MsgOptionLang},
    {"--quiet", "-q", TakesQuiet, MsgNone, MsgOptionQuiet},
    {"--help", "-h", AsksHelp, MsgNone, MsgOptionHelp},
    {"--version", "-V", AsksVersion, MsgNone, MsgOptionVersion},
};

// A new command is one row here (and its Run function in main.cpp).
struct CommandForm {
    const char* word;
    CommandId command;
    bool kindOperand;  // KIND before the path
    int paths;         // 0 or 1
    int options;
    MessageId usage;  // after "dm730 ", then what it does on the next line
};

const CommandForm CommandForms[] = {
    {"ports", CommandPorts, false, 0, 0, MsgUsagePorts},
    {"detect", CommandDetect, false, 0, TalksToLine | ManyControllers, MsgUsageDetect},
    {"write", CommandWrite, true, 1,
     TalksToLine | ManyControllers | TakesVerify | TakesFromBlock | TakesRetries, MsgUsageWrite},
    {"read", CommandRead, true, 1, TalksToLine | TakesForce | TakesResume | TakesRetries,
     MsgUsageRead},
    {"verify", CommandVerify, true, 1,
     TalksToLine | ManyControllers | TakesMaxDifferences | TakesRetries, MsgUsageVerify},
    {"backup", CommandBackup, false, 1, TalksToLine | ManyControllers | TakesForce | TakesRetries,
     MsgUsageBackup},
    {"restore", CommandRestore, false, 1,
     TalksToLine | ManyControllers | TakesResume | TakesNoVerify | TakesMaxDifferences |
         TakesRetries,
     MsgUsageRestore},
    {"linetest", CommandLineTest, false, 0,
     TalksToLine | TakesLoopback | TakesSeconds | TakesRetries, MsgUsageLineTest},
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
    if ((o.bit & EveryCommand) == 0 && (command.options & o.bit) == 0)
        return Fail(problem,
                    SayFormatted(MsgOptionNotForCommand, given.name.c_str(), command.word));
    if (o.valueName == MsgNone) {
        if (given.value)
            return Fail(problem, SayFormatted(MsgOptionTakesNoValue, given.name.c_str()));
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
        if (*given.value == '\0') return Fail(problem, Say(MsgEmptyPortName));
        if (line->ports.empty()) line->port = given.value;
        line->ports.push_back(given.value);
        if (line->ports.size() > 1 && (command.options & ManyControllers) == 0)
            return Fail(problem, SayFormatted(MsgOnePortOnly, command.word));
        return true;
    }
    if (o.bit == TakesTrace) {
        if (*given.value == '\0') return Fail(problem, Say(MsgEmptyTraceName));
        line->traceFile = given.value;
        return true;
    }
    if (o.bit == TakesLanguage) {
        // The language itself was chosen before the parse, from the same word.
        Language language;
        if (!LanguageOfWord(given.value, &language))
            return Fail(problem, SayFormatted(MsgUnknownLanguage, given.value));
        return true;
    }
    unsigned long* count = o.bit == TakesRetries     ? &line->retries
                           : o.bit == TakesFromBlock ? &line->fromBlock
                           : o.bit == TakesSeconds   ? &line->seconds
                                                     : &line->maxDifferences;
    if (!ParseCount(given.value, count))
        return Fail(problem, SayFormatted(MsgNeedsNumber, given.name.c_str(), given.value));
    if (o.bit == TakesRetries && *count > MostRetries)
        return Fail(problem, SayFormatted(MsgRetriesAtMost, MostRetries));
    if (o.bit == TakesFromBlock && *count == 0) return Fail(problem, Say(MsgFromBlockFromOne));
    if (o.bit == TakesSeconds && (*count == 0 || *count > MostSeconds))
        return Fail(problem, SayFormatted(MsgSecondsRange, MostSeconds));
    return true;
}

bool ParseKind(const std::string& word, DataKind* kind, std::string* problem) {
    if (KindOfWord(word.c_str(), kind)) return true;
    std::string words;
    for (const DataKindFacts& facts : DataKindTable)
        words += std::string(words.empty() ? "" : ", ") + facts.word;
    return Fail(problem, SayFormatted(MsgUnknownKind, word.c_str(), words.c_str()));
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
            if (optionProblem.empty())
                optionProblem = SayFormatted(MsgUnknownOption, given.name.c_str());
            continue;
        }
        if (given.form->valueName != MsgNone && given.value == nullptr) {
            if (i + 1 >= argc) {
                if (optionProblem.empty())
                    optionProblem = SayFormatted(MsgMissingValue, given.name.c_str());
                continue;
            }
            given.value = argv[++i];
        }
        options.push_back(given);
    }
    if (words.empty())
        return Fail(problem, optionProblem.empty() ? Say(MsgNoCommand) : optionProblem);
    if (words[0] == "help") {
        if (!optionProblem.empty()) return Fail(problem, optionProblem);
        if (words.size() > 2)
            return Fail(problem, SayFormatted(MsgExtraArgument, words[2].c_str()));
        // "help help" is the whole help, which says what help does.
        if (words.size() == 2 && words[1] != "help") {
            const CommandForm* topic = FormOf(words[1]);
            if (topic == nullptr)
                return Fail(problem, SayFormatted(MsgUnknownCommand, words[1].c_str()));
            line->topic = topic->command;
        }
        return true;
    }
    const CommandForm* form = FormOf(words[0]);
    if (form == nullptr) return Fail(problem, SayFormatted(MsgUnknownCommand, words[0].c_str()));
    line->command = form->command;
    // A restore reads back what it wrote unless told not to; a write only when asked.
    line->readBack = form->command == CommandRestore;
    if (!optionProblem.empty()) return Fail(problem, optionProblem);
    for (const GivenOption& given : options)
        if (!ApplyOption(*form, given, line, problem)) return false;
    if (!line->trace && !line->traceFile.empty()) return Fail(problem, Say(MsgTraceAndNoTrace));
    if (line->all && !line->ports.empty()) return Fail(problem, Say(MsgAllAndPort));
    if ((line->all || line->ports.size() > 1) && !line->traceFile.empty())
        return Fail(problem, Say(MsgTraceOneController));
    if (line->seconds != 0 && !line->loopback) return Fail(problem, Say(MsgSecondsOnlyLoopback));
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
        return Fail(problem, SayFormatted(MsgTooFewArguments, form->word));
    if (words.size() - 1 > wanted)
        return Fail(problem, SayFormatted(MsgExtraArgument, words[wanted + 1].c_str()));
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
            text += std::string("  dm730 ") + Say(f.usage) + "\n";
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
        if (o.valueName != MsgNone) label += std::string(" ") + Say(o.valueName);
        label.resize(std::max(label.size() + 1, column), ' ');
        std::string help = Say(o.help);
        for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1))
            help.insert(at + 1, std::string(2 + column, ' '));
        text += "  " + label + help + "\n";
    }
    return text;
}

std::string KindsHelp() {
    std::string text;
    for (DataKind kind : AllDataKinds) {
        const DataKindFacts& facts = FactsOf(kind);
        std::string extensions;
        for (int i = 0; facts.extensions[i] != nullptr; ++i)
            extensions += std::string(i == 0 ? "." : Say(MsgOrExtension)) + facts.extensions[i];
        unsigned blocks = facts.region.blockCount;
        text += SayFormatted(MsgKindLine, facts.word, KindContents(kind), extensions.c_str(),
                             blocks, BlocksWord(blocks), blocks * BlockSize / 1024);
    }
    return text;
}

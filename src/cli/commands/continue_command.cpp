#include "cli/commands/continue_command.h"

#include "cli/system/shell_words.h"
#include "cli/transfers/controller_search.h"

std::string ContinueCommand(const CommandLine& line, const std::string& goOn) {
    std::string text = "dm730 ";
    switch (line.command) {
    case CommandWrite: text += std::string("write ") + FactsOf(line.kind).word; break;
    case CommandRead: text += std::string("read ") + FactsOf(line.kind).word; break;
    case CommandRestore: text += "restore"; break;
    default: break;
    }
    text += " " + ShellWord(line.path) + " --port " + ShellWord(FoundPortName());
    if (line.command == CommandWrite && line.readBack) text += " --verify";
    if (line.command == CommandRestore && !line.readBack) text += " --no-verify";
    if (line.maxDifferences != DefaultMaxDifferences)
        text += " --max-differences " + std::to_string(line.maxDifferences);
    if (line.retries != DefaultRetries) text += " --retries " + std::to_string(line.retries);
    if (line.quiet) text += " -q";
    return text + " " + goOn;
}

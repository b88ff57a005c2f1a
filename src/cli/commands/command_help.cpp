// The help: the usage lines, the kinds and the options come from the tables
// of the command line, the rest from the message table.
#include "cli/commands/arguments.h"
#include "cli/commands/commands.h"
#include "cli/console/console_output.h"

ExitCode RunHelpCommand(const CommandLine& line) {
    CommandId topic = line.topic;
    if (topic != CommandHelp) {
        PrintText(ConsoleOut, UsageOf(topic).c_str());
        return ExitDone;
    }
    PrintText(ConsoleOut, Say(MsgHelpHead));
    PrintText(ConsoleOut, UsageOf(CommandHelp).c_str());
    PrintText(ConsoleOut, Say(MsgHelpBackups));
    PrintText(ConsoleOut, KindsHelp().c_str());
    PrintText(ConsoleOut, Say(MsgHelpBlocks));
    PrintText(ConsoleOut, OptionsHelp().c_str());
    PrintText(ConsoleOut, Say(MsgHelpTail));
    return ExitDone;
}

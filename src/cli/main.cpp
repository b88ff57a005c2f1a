// dm730: the transfers of the window from a command line, on the same core.

#include "cli/commands/arguments.h"
#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/operator_console.h"
#include "cli/console/progress.h"
#include "cli/system/interrupt.h"
#include "cli/transfers/region_transfer.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"
#include "transfer/transfer.h"

namespace {

ExitCode RunCommand(const CommandLine& line) {
    switch (line.command) {
    case CommandPorts: return RunPortsCommand(line);
    case CommandDetect: return RunDetectCommand(line);
    case CommandWrite: return RunWriteCommand(line);
    case CommandRead: return RunReadCommand(line);
    case CommandVerify: return RunVerifyCommand(line);
    case CommandBackup: return RunBackupCommand(line);
    case CommandRestore: return RunRestoreCommand(line);
    case CommandVerifyBackup: return RunVerifyBackupCommand(line);
    case CommandVersion: PrintLine(ConsoleOut, "dm730 %s", SELVO_VERSION); return ExitDone;
    case CommandHelp: return RunHelpCommand(line);
    }
    // Every command has its case above: the compiler says when one is missing.
    return ExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    std::string problem;
    if (ParseCommandLine(argc, argv, &line, &problem) != ParsedCommand) {
        PrintLine(ConsoleError, "dm730 : %s", problem.c_str());
        if (line.command != CommandHelp)
            PrintText(ConsoleError, ("Użycie :\n" + UsageOf(line.command)).c_str());
        PrintLine(ConsoleError, "Opis poleceń : dm730 --help");
        return ExitUsage;
    }
    CatchInterrupt();
    ResetConsoleReport(line.maxDifferences);
    // The window gives up at the first fault of the line; a long job from a
    // command line tries the block again.
    TransferJob.blockRetries = int32_t(line.retries);
    ExitCode code = RunCommand(line);
    if (RetriedBlocks() > 0)
        PrintLine(ConsoleError, "Po błędach linii ponowiono %s.",
                  BlockCount(RetriedBlocks()).c_str());
    CloseChannel();
    CloseChannelEvents();
    FreePortTable();
    return code;
}

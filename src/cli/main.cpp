// dm730: the transfers of the window from a command line, on the same core.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/commands/arguments.h"
#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/json_events.h"
#include "cli/console/language.h"
#include "cli/console/console_text.h"
#include "cli/console/operator_console.h"
#include "cli/console/progress.h"
#include "cli/system/interrupt.h"
#include "cli/transfers/line_trace.h"
#include "cli/transfers/region_transfer.h"
#include "cli/transfers/trace_file.h"
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
    case CommandLineTest: return RunLineTestCommand(line);
    case CommandVersion: PrintLine(ConsoleOut, "dm730 %s", SELVO_VERSION); return ExitDone;
    case CommandHelp: return RunHelpCommand(line);
    }
    // Every command has its case above: the compiler says when one is missing.
    return ExitUsage;
}

// The failures someone must be able to look into afterwards.
bool FailedOnTheLine(ExitCode code) {
    return code == ExitLineFailed || code == ExitNoController || code == ExitPortUnusable;
}

// The file of --trace: appended to, so that nothing there is lost.
std::FILE* OpenTraceFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr)
        PrintMessage(ConsoleError, MsgTraceFileFailed, path.c_str(), std::strerror(errno));
    return file;
}

void KeepTraceOfFailure(int argc, const char* const* argv) {
    std::string problem;
    std::string path = WriteTraceFile(RunHeaderText(argc, argv) + LineHeaderText(), &problem);
    if (path.empty())
        PrintMessage(ConsoleError, MsgTraceNotKept, problem.c_str());
    else
        PrintMessage(ConsoleError, MsgTraceKept, path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything is said, so that even a wrong command line is told in
    // the user's language.
    const char* variable = std::getenv("DM730_LANG");
    bool variableUnknown = ChooseLanguage(argc, argv, variable) == LanguageVariableUnknown;
    CommandLine line;
    std::string problem;
    if (variableUnknown) PrintMessage(ConsoleError, MsgLanguageVariableUnknown, variable);
    if (ParseCommandLine(argc, argv, &line, &problem) != ParsedCommand) {
        // A program that asked for events gets its result as one, too.
        for (int i = 1; i < argc && !EventsOn(); ++i)
            if (std::strcmp(argv[i], "--json") == 0)
                StartEvents(std::string("dm730 ") + SELVO_VERSION, CommandWord(line.command));
        PrintMessage(ConsoleError, MsgProgramProblem, problem.c_str());
        if (line.command != CommandHelp)
            PrintText(ConsoleError, (Say(MsgUsageHead) + UsageOf(line.command)).c_str());
        PrintMessage(ConsoleError, MsgSeeHelp);
        EventResult(ExitUsage);
        return ExitUsage;
    }
    CatchInterrupt();
    if (line.json) StartEvents(std::string("dm730 ") + SELVO_VERSION, CommandWord(line.command));
    // Every exchange is kept in memory for the trace of a failure; with
    // --trace also written to the file as it happens.
    std::FILE* everyExchange = nullptr;
    if (!line.traceFile.empty()) {
        everyExchange = OpenTraceFile(line.traceFile);
        if (everyExchange == nullptr) {
            EventResult(ExitFileFailed);
            return ExitFileFailed;
        }
        std::fputs(Utf8FromMixedText(RunHeaderText(argc, argv).c_str()).c_str(), everyExchange);
    }
    StartLineTrace(everyExchange);
    ResetConsoleReport(line.maxDifferences);
    // The window gives up at the first fault of the line; a long job from a
    // command line tries the block again.
    TransferJob.blockRetries = int32_t(line.retries);
    bool many = line.all || line.ports.size() > 1;
    ExitCode code = many ? RunOnManyControllers(line, argc, argv) : RunCommand(line);
    if (RetriedBlocks() > 0)
        PrintMessage(ConsoleError, MsgBlocksRetried, BlockCount(RetriedBlocks()).c_str());
    // Before the port closes: the trace reads the line's settings back.
    // With several controllers each child keeps its own.
    if (line.trace && !many && FailedOnTheLine(code)) KeepTraceOfFailure(argc, argv);
    StopLineTrace();
    if (everyExchange != nullptr) {
        std::fputs(Utf8FromMixedText(LineHeaderText().c_str()).c_str(), everyExchange);
        std::fclose(everyExchange);
    }
    CloseChannel();
    CloseChannelEvents();
    FreePortTable();
    EventResult(code);
    return code;
}

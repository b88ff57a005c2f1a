// The commands of dm730, each returning its exit code.
#pragma once
#include "cli/commands/arguments.h"
#include "cli/console/exit_codes.h"

ExitCode RunHelpCommand(const CommandLine& line);
ExitCode RunPortsCommand(const CommandLine& line);
ExitCode RunDetectCommand(const CommandLine& line);
ExitCode RunWriteCommand(const CommandLine& line);
ExitCode RunReadCommand(const CommandLine& line);
ExitCode RunVerifyCommand(const CommandLine& line);
ExitCode RunBackupCommand(const CommandLine& line);
ExitCode RunRestoreCommand(const CommandLine& line);
ExitCode RunLineTestCommand(const CommandLine& line);
// verify with a folder instead of KIND FILE: the whole backup against the controller.
ExitCode RunVerifyBackupCommand(const CommandLine& line);

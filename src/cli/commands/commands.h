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
// detect, write, verify or backup on several ports (--port given more than
// once, or --all), each in a child process; argv is the parent's own.
ExitCode RunOnManyControllers(const CommandLine& line, int argc, const char* const* argv);
// verify with a folder instead of KIND FILE: the whole backup against the controller.
ExitCode RunVerifyBackupCommand(const CommandLine& line);

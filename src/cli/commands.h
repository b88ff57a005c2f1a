// The commands of dm730, each returning its exit code.
#pragma once
#include "cli/arguments.h"
#include "cli/exit_codes.h"

ExitCode RunPortsCommand(const CommandLine& line);
ExitCode RunDetectCommand(const CommandLine& line);
ExitCode RunWriteCommand(const CommandLine& line);
ExitCode RunReadCommand(const CommandLine& line);
ExitCode RunVerifyCommand(const CommandLine& line);
ExitCode RunBackupCommand(const CommandLine& line);

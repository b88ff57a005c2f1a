// The commands of dm730, each returning its exit code.
#pragma once
#include "cli/arguments.h"

int RunPortsCommand(const CommandLine& line);
int RunDetectCommand(const CommandLine& line);
int RunWriteCommand(const CommandLine& line);
int RunReadCommand(const CommandLine& line);
int RunVerifyCommand(const CommandLine& line);
int RunBackupCommand(const CommandLine& line);

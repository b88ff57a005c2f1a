// The command that goes on where this one stopped, as the user types it: the
// same command, on the port the controller was found on, with every option
// that was given and the one that says where to go on. Run as printed it can
// never reach another controller.
#pragma once
#include <string>

#include "cli/commands/arguments.h"

// goOn: "--from-block 184", "--resume".
std::string ContinueCommand(const CommandLine& line, const std::string& goOn);

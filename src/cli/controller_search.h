// Finding the controller before a command talks to it, as the window does at
// start-up: the port table, the channel's events, the detection.
#pragma once
#include "cli/arguments.h"
#include "cli/exit_codes.h"

// ExitDone: the controller answered and its port is open. Otherwise the exit
// code, its message shown (the window's not-found message for ExitNoController).
ExitCode FindController(const CommandLine& line);

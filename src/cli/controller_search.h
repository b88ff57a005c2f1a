// Finding the controller before a command talks to it, as the window does at
// start-up: the port table, the channel's events, the detection. A command
// then stays on the port where the controller answered.
#pragma once
#include "cli/arguments.h"
#include "cli/exit_codes.h"

// ExitDone: the controller answered and its port is open. Otherwise the exit
// code, its message shown: ExitPortUnusable with the reason for a port named
// with --port that cannot be used, ExitNoController (the window's not-found
// message, and the ports that could not be opened and why) when no controller
// answered, ExitInterrupted on Ctrl-C, which ends the search at once.
ExitCode FindController(const CommandLine& line);

// Opens again exactly the port FindController found the controller on, so
// the controller sees a clean line; never another port. ExitDone: it is open.
// ExitPortUnusable: it cannot be used any more, the reason shown.
ExitCode ReopenFoundPort();

// Finding the controller before a command talks to it, as the window does at
// start-up: the ports, the channel's events, the detection. A command then
// stays on the port where the controller answered.
#pragma once
#include <string>
#include <vector>

#include "cli/console/exit_codes.h"

// port: the port given with --port, or empty for every port of the system.
// ExitDone: the controller answered and its port is open; unless quiet, the
// port is said. Otherwise the exit code, its message shown: ExitUsage for a
// name that can name no port, ExitPortUnusable with the reason for a given
// port that cannot be used, ExitNoController (the window's not-found message,
// and the ports that could not be opened and why) when no controller
// answered, ExitInterrupted on Ctrl-C, which ends the search at once.
ExitCode FindController(const std::string& port, bool quiet);

// The name of the port the controller was found on, as we keep it.
const char* FoundPortName();
// The version texts of the identification reply that found the controller,
// as the window shows them, in UTF-8.
void FoundControllerVersions(std::string* firmware, std::string* second);

// Opens again exactly the port FindController found the controller on, so
// the controller sees a clean line; never another port. ExitDone: it is open.
// ExitPortUnusable: it cannot be used any more, the reason shown.
ExitCode ReopenFoundPort();

// For a line test with a loopback plug: the port given, or the one port whose
// line gives our bytes back, opened. ExitDone: it is open. Otherwise the exit
// code with its message: ExitUsage for a controller answering there (no plug)
// or several ports echoing, ExitPortUnusable for a given port that cannot be
// used, ExitNoController when no port echoes.
ExitCode FindLoopback(const std::string& port);

// Every port of the system where a controller answers the identification, in
// the search's order; each is closed again. Quiet: nothing is shown.
std::vector<std::string> PortsWithController();
// The name a port given with --port stands for (a selector resolved to the
// one port it fits). ExitDone, or the exit code with its message shown.
ExitCode NameOfGivenPort(const std::string& given, std::string* name);

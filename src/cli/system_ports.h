// The ports dm730 works on: the one given with --port, or every serial port of
// the system, in the core's port table, so the core's detection walks them.
#pragma once
#include <string>

#include "cli/exit_codes.h"

// ExitDone, or ExitUsage (with the message shown) for a name that is no port.
ExitCode BuildCommandPorts(const std::string& givenPort);
// Port i as the user names it: a device path on Linux, COM3 on Windows.
std::string PortShownName(int index);
// What the system knows of port i (a USB adapter's product name), or empty.
std::string PortDescription(int index);
// What a user without access to a port does about it, or null.
const char* PortPermissionHint();

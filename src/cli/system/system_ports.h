// The ports dm730 works on: the one given with --port, or every serial port of
// the system, listed to the core by the names we keep (UseNamedPorts), so the
// core's detection walks them and ListedPortName gives each one's name.
#pragma once
#include <string>

enum PortListOutcome { PortsListed = 0, PortNameInvalid = 1 };

// givenPort empty: every port; otherwise that one. PortNameInvalid for a name
// that can name no port (on Windows anything but COM and a number).
PortListOutcome ListCommandPorts(const std::string& givenPort);
// What the system knows of port i (a USB adapter's product name), or empty.
std::string PortDescription(int index);
// What a user without access to a port does about it, or null.
const char* PortPermissionHint();
// An example of a port's name on this system, for a message.
extern const char PortNameExample[];

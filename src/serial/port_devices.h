// Native only: serial devices named by COM aliases. The port table holds short
// COM names, and the detection and the channel work on those; a front end that
// knows the system's device paths (or was given one) lists them as COM1, COM2,
// ... and the channel opens the device behind the alias.
#pragma once
#include <string>
#include <vector>

// Rebuilds the port table as COM1..COMn, one alias per path, in the given order.
void UsePortDevices(const std::vector<std::string>& paths);
// Back to COM names alone, as the port folder gives them.
void ForgetPortDevices();
// The device path behind an alias ("COM2" or "COM2:"), or null when the name
// is not one of the aliases.
const char* PortDevicePath(const char* portName);

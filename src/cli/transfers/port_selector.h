// Picking a port by what its adapter is, not by the name the system gave it
// this time (ttyUSB0 and ttyUSB1 swap after a reboot, COM numbers follow the
// socket): serial=A12345, 0403:6001 (USB VID:PID), location=1-1.2, or a
// /dev/serial/by-id name.
#pragma once
#include <string>
#include <vector>

#include "cli/system/system_ports.h"

// Whether --port's value is such a selector rather than a port's name.
bool IsAdapterSelector(const std::string& text);
// The indexes of the ports the selector fits.
std::vector<size_t> PortsFitting(const std::string& selector,
                                 const std::vector<PortIdentity>& ports);
// The shortest selector that fits port index alone and stays true across a
// reboot; the port's name when there is none (a port without USB identity,
// or two adapters alike in every respect).
std::string UniqueSelector(const std::vector<PortIdentity>& ports, size_t index);
// "0403:6001", lower-case hexadecimal; empty when unknown.
std::string UsbIdOf(const PortIdentity& port);

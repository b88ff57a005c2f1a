// One line for each port: what `dm730 ports` prints, and what a selector that
// fits no port lists.
#pragma once
#include <string>
#include <vector>

#include "cli/system/system_ports.h"

// The name, the transport, a USB adapter's VID:PID, product, serial number
// ("brak" when it has none) and location, its by-id name, whether another
// program holds it (unless sayHold is false: the port is this run's own),
// and the --port that picks it alone.
std::string PortLine(const std::vector<PortIdentity>& ports, size_t index, bool sayHold = true);

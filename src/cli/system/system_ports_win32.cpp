// Windows: the ports of the window's table (the spooler's COM ports), or the
// one port given; either is opened by its COM name as the window opens its
// ports.
#include <string>
#include <vector>

#include "cli/system/system_ports.h"
#include "serial/port_names.h"
#include "serial/port_table.h"

const char PortNameExample[] = "COM3";

namespace {

bool IsComName(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return false;
    for (size_t i = 3; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

}  // namespace

PortListOutcome ListCommandPorts(const std::string& givenPort) {
    std::vector<std::string> names;
    if (givenPort.empty()) {
        BuildPortTable();
        for (int i = 0; ListedPortName(i) != nullptr; ++i)
            names.push_back(KeptPortName(ListedPortName(i)));
    } else {
        names.push_back(KeptPortName(givenPort));
        if (!IsComName(names.back())) return PortNameInvalid;
    }
    UseNamedPorts(names);
    return PortsListed;
}

std::string PortDescription(int) { return ""; }

const char* PortPermissionHint() { return nullptr; }

// Linux: the serial devices libserialport finds, which knows a USB adapter by
// its product name; the line itself stays on the core's own termios channel.
// With a port folder (SELVO_PORT_DIR, the tests and the simulator), the ports
// are the links in that folder.
#include <libserialport.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "cli/system/system_ports.h"
#include "serial/port_names.h"
#include "serial/port_table.h"

const char PortNameExample[] = "/dev/ttyUSB0";

namespace {

struct SystemPort {
    std::string name;  // as we keep it: the device's path
    std::string description;
};

// By index of the listed ports.
std::vector<std::string> Descriptions;

// ttyS2 before ttyS10: runs of digits compare by their value.
bool ComesBefore(const SystemPort& a, const SystemPort& b) {
    const std::string& x = a.name;
    const std::string& y = b.name;
    size_t i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        if (std::isdigit((unsigned char)x[i]) && std::isdigit((unsigned char)y[j])) {
            size_t ei = i, ej = j;
            while (ei < x.size() && std::isdigit((unsigned char)x[ei])) ++ei;
            while (ej < y.size() && std::isdigit((unsigned char)y[ej])) ++ej;
            unsigned long nx = std::strtoul(x.c_str() + i, nullptr, 10);
            unsigned long ny = std::strtoul(y.c_str() + j, nullptr, 10);
            if (nx != ny) return nx < ny;
            i = ei;
            j = ej;
        } else {
            if (x[i] != y[j]) return x[i] < y[j];
            ++i;
            ++j;
        }
    }
    return x.size() - i < y.size() - j;
}

std::vector<SystemPort> ListSystemPorts() {
    std::vector<SystemPort> ports;
    std::vector<std::string> links;
    if (ReadSimulatedPortLinks(&links)) {
        for (const std::string& link : links) ports.push_back(SystemPort{KeptPortName(link), ""});
        return ports;
    }
    sp_port** list = nullptr;
    if (sp_list_ports(&list) != SP_OK) return ports;
    for (sp_port** p = list; *p != nullptr; ++p) {
        const char* name = sp_get_port_name(*p);
        const char* description = sp_get_port_description(*p);
        if (name == nullptr) continue;
        ports.push_back(SystemPort{KeptPortName(name), description ? description : ""});
    }
    sp_free_port_list(list);
    return ports;
}

void UseSystemPorts(std::vector<SystemPort> ports) {
    std::sort(ports.begin(), ports.end(), ComesBefore);
    std::vector<std::string> names;
    Descriptions.clear();
    for (const SystemPort& port : ports) {
        names.push_back(port.name);
        Descriptions.push_back(port.description);
    }
    UseNamedPorts(names);
}

}  // namespace

PortListOutcome ListCommandPorts(const std::string& givenPort) {
    if (givenPort.empty()) {
        UseSystemPorts(ListSystemPorts());
        return PortsListed;
    }
    std::string name = KeptPortName(givenPort);
    if (name.empty()) return PortNameInvalid;
    UseSystemPorts({SystemPort{name, ""}});
    return PortsListed;
}

const char* PortPermissionHint() {
    return "Porty szeregowe należą do grupy dialout : sudo usermod -aG dialout $USER , "
           "potem zaloguj się ponownie.";
}

std::string PortDescription(int index) {
    return index >= 0 && size_t(index) < Descriptions.size() ? Descriptions[size_t(index)] : "";
}

// Linux: the serial devices libserialport finds, which knows a USB adapter by
// its product name, listed to the core as COM1..COMn. The line itself stays
// on the core's own termios channel. With SELVO_PORT_DIR set (the tests), the
// ports are the links in that folder, as the core's own table lists them.
#include <libserialport.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/system_ports.h"
#include "serial/port_devices.h"
#include "serial/port_table.h"

namespace {

struct SystemPort {
    std::string path;
    std::string description;
};

// By index of the port table; empty while the table comes from the folder.
std::vector<SystemPort> SystemPorts;

// ttyS2 before ttyS10: runs of digits compare by their value.
bool ComesBefore(const SystemPort& a, const SystemPort& b) {
    const std::string& x = a.path;
    const std::string& y = b.path;
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
    sp_port** list = nullptr;
    if (sp_list_ports(&list) != SP_OK) return ports;
    for (sp_port** p = list; *p != nullptr; ++p) {
        const char* name = sp_get_port_name(*p);
        const char* description = sp_get_port_description(*p);
        if (name == nullptr) continue;
        ports.push_back(SystemPort{name, description ? description : ""});
    }
    sp_free_port_list(list);
    std::sort(ports.begin(), ports.end(), ComesBefore);
    return ports;
}

void UseSystemPorts(const std::vector<SystemPort>& ports) {
    SystemPorts = ports;
    std::vector<std::string> paths;
    for (const SystemPort& port : ports) paths.push_back(port.path);
    UsePortDevices(paths);
}

}  // namespace

ExitCode BuildCommandPorts(const std::string& givenPort) {
    const char* folder = std::getenv("SELVO_PORT_DIR");
    bool inFolder = folder != nullptr && *folder != '\0';
    if (!givenPort.empty() && givenPort.find('/') == std::string::npos && inFolder) {
        // The ports are the folder's links, and `ports` lists them as COM1...:
        // the name given is looked up there, as the channel looks up COM names.
        SystemPorts.clear();
        ForgetPortDevices();
        std::string name = givenPort;
        PortRecord record = {&name[0]};
        FillPortTable(&record, 1);
        return ExitDone;
    }
    if (!givenPort.empty()) {
        // "ttyUSB0" is taken as the device of that name.
        std::string path =
            givenPort.find('/') == std::string::npos ? "/dev/" + givenPort : givenPort;
        UseSystemPorts({SystemPort{path, ""}});
        return ExitDone;
    }
    if (inFolder) {
        SystemPorts.clear();
        BuildPortTable();
        return ExitDone;
    }
    UseSystemPorts(ListSystemPorts());
    return ExitDone;
}

std::string PortShownName(int index) {
    if (const char* path = PortDevicePath(PortTable[index])) return path;
    std::string name = PortTable[index];
    if (!name.empty() && name.back() == ':') name.pop_back();
    return name;
}

const char* PortPermissionHint() {
    return "Porty szeregowe należą do grupy dialout : sudo usermod -aG dialout $USER , "
           "potem zaloguj się ponownie.";
}

std::string PortDescription(int index) {
    return size_t(index) < SystemPorts.size() ? SystemPorts[size_t(index)].description : "";
}

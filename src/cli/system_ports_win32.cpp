// Windows: the port table of the window (the spooler's COM ports), or the one
// port given, which is opened by its COM name as the window opens its ports.
#include "cli/console_output.h"
#include "cli/exit_codes.h"
#include "cli/system_ports.h"
#include "serial/port_table.h"

namespace {

// "COM3", "com3", "COM3:" and "\\.\COM3" all give COM3, which must fit a slot.
bool NormalisePortName(std::string name, std::string* port) {
    if (name.compare(0, 4, "\\\\.\\") == 0) name.erase(0, 4);
    if (!name.empty() && name.back() == ':') name.pop_back();
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (name.size() < 4 || name.size() >= sizeof(PortSlot) || name.compare(0, 3, "COM") != 0)
        return false;
    for (size_t i = 3; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    *port = name;
    return true;
}

}  // namespace

ExitCode BuildCommandPorts(const std::string& givenPort) {
    if (givenPort.empty()) {
        BuildPortTable();
        return ExitDone;
    }
    std::string name;
    if (!NormalisePortName(givenPort, &name)) {
        PrintLine(ConsoleError, "Nieznany port : %s (np. COM3)", givenPort.c_str());
        return ExitUsage;
    }
    PortRecord record = {&name[0]};
    FillPortTable(&record, 1);
    return ExitDone;
}

std::string PortShownName(int index) {
    std::string name = PortTable[index];
    if (!name.empty() && name.back() == ':') name.pop_back();
    return name;
}

std::string PortDescription(int) { return ""; }

const char* PortPermissionHint() { return nullptr; }

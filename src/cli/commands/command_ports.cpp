#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/system/system_ports.h"
#include "serial/port_table.h"

ExitCode RunPortsCommand(const CommandLine&) {
    ListCommandPorts("");
    if (ListedPortName(0) == nullptr) {
        PrintLine(ConsoleError, "Brak dostępnych portów szeregowych");
        return ExitNoController;
    }
    for (int i = 0; ListedPortName(i) != nullptr; ++i) {
        std::string description = PortDescription(i);
        if (description.empty())
            PrintLine(ConsoleOut, "%s", ListedPortName(i));
        else
            PrintLine(ConsoleOut, "%-16s %s", ListedPortName(i), description.c_str());
    }
    return ExitDone;
}

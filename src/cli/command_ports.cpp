#include "cli/commands.h"
#include "cli/console_output.h"
#include "cli/exit_codes.h"
#include "cli/system_ports.h"
#include "serial/port_table.h"

ExitCode RunPortsCommand(const CommandLine&) {
    BuildCommandPorts("");
    if (IsPortTableEmpty()) {
        PrintLine(ConsoleError, "Brak dostępnych portów szeregowych");
        return ExitNoController;
    }
    for (int i = 0; PortTable[i][0] != '\0'; ++i) {
        std::string description = PortDescription(i);
        if (description.empty())
            PrintLine(ConsoleOut, "%s", PortShownName(i).c_str());
        else
            PrintLine(ConsoleOut, "%-16s %s", PortShownName(i).c_str(), description.c_str());
    }
    return ExitDone;
}

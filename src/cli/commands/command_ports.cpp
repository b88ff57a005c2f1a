#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/system/system_ports.h"
#include "cli/transfers/port_listing.h"

ExitCode RunPortsCommand(const CommandLine&) {
    std::vector<PortIdentity> ports = ListSystemPorts(HoldAsked);
    if (ports.empty()) {
        PrintLine(ConsoleError, "Brak dostępnych portów szeregowych");
        return ExitNoController;
    }
    for (size_t i = 0; i < ports.size(); ++i)
        PrintLine(ConsoleOut, "%s", PortLine(ports, i).c_str());
    return ExitDone;
}

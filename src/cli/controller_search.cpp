#include "cli/controller_search.h"

#include "cli/console_output.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/system_ports.h"
#include "serial/port_open.h"
#include "serial/serial_channel.h"

int FindController(const CommandLine& line) {
    int built = BuildCommandPorts(line.port);
    if (built != ExitDone) return built;
    CreateChannelEvents();
    int found = DetectDevice();
    if (WasInterrupted()) return ExitInterrupted;
    if (found != DeviceFound) {
        ShowDeviceNotFound();
        return ExitNoController;
    }
    if (!line.quiet) PrintLine(ConsoleOut, "Port : %s", PortShownName(currentPort).c_str());
    return ExitDone;
}

#include "cli/controller_search.h"

#include "cli/console_output.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/system_ports.h"
#include "serial/port_open.h"
#include "serial/serial_channel.h"

ExitCode FindController(const CommandLine& line) {
    ExitCode built = BuildCommandPorts(line.port);
    if (built != ExitDone) return built;
    CreateChannelEvents();
    DetectOutcome found = DetectDevice();
    if (WasInterrupted()) return ExitInterrupted;
    if (found != DeviceFound) {
        ShowDeviceNotFound();
        return ExitNoController;
    }
    // A message: detect prints the port as its result itself.
    if (!line.quiet) PrintLine(ConsoleError, "Port : %s", PortShownName(currentPort).c_str());
    return ExitDone;
}

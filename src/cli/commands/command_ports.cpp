#include "cli/backup/backup_manifest.h"
#include "cli/commands/commands.h"
#include "cli/console/console_output.h"
#include "cli/console/exit_codes.h"
#include "cli/console/json_events.h"
#include "cli/system/system_ports.h"
#include "cli/transfers/port_listing.h"
#include "cli/transfers/port_selector.h"

namespace {

const char* HoldWord(PortHold hold) {
    switch (hold) {
    case PortFree: return "free";
    case PortHeld: return "held";
    case PortRefused: return "refused";
    case PortHoldUnknown: return "unknown";
    }
    return "unknown";
}

}  // namespace

ExitCode RunPortsCommand(const CommandLine&) {
    std::vector<PortIdentity> ports = ListSystemPorts(HoldAsked);
    if (ports.empty()) {
        PrintMessage(ConsoleError, MsgNoSerialPorts);
        return ExitNoController;
    }
    for (size_t i = 0; i < ports.size(); ++i) {
        PrintLine(ConsoleOut, "%s", PortLine(ports, i).c_str());
        // The adapter in the manifest's words.
        ManifestAdapter adapter = AdapterOf(ports[i]);
        EventPortListed(ports[i].name, adapter.transport, adapter.usbId, adapter.product,
                        adapter.serialNumber, adapter.location, adapter.byId,
                        HoldWord(ports[i].hold), UniqueSelector(ports, i));
    }
    return ExitDone;
}

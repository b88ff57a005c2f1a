#include "cli/transfers/port_listing.h"

#include "cli/console/console_text.h"
#include "cli/transfers/port_selector.h"

namespace {

const char* TransportText(PortTransport transport) {
    switch (transport) {
    case TransportNative: return "wbudowany";
    case TransportUsb: return "USB";
    case TransportBluetooth: return "Bluetooth";
    case TransportSimulated: return "pty";
    case TransportUnknown: return "rodzaj nieznany";
    }
    return "rodzaj nieznany";
}

const char* HoldText(PortHold hold) {
    switch (hold) {
    case PortFree: return "wolny";
    case PortHeld: return "zajęty przez inny program";
    case PortRefused: return "brak uprawnień";
    case PortHoldUnknown: return "zajętość nieznana";
    }
    return "zajętość nieznana";
}

}  // namespace

std::string PortLine(const std::vector<PortIdentity>& ports, size_t index, bool sayHold) {
    const PortIdentity& port = ports[index];
    std::string line = port.name + "  " + TransportText(port.transport);
    if (port.transport == TransportUsb) {
        if (!UsbIdOf(port).empty()) line += " " + UsbIdOf(port);
        // An adapter names itself: nothing of it reaches the terminal unchecked.
        if (!port.product.empty()) line += " " + QuotedText(port.product);
        line +=
            " nr seryjny " + (port.serialNumber.empty() ? "brak" : ShownText(port.serialNumber));
        if (!port.location.empty()) line += " miejsce " + port.location;
    } else if (!port.product.empty()) {
        line += " " + QuotedText(port.product);
    }
    if (!port.byId.empty()) line += "  " + port.byId;
    if (sayHold) line += std::string("  ") + HoldText(port.hold);
    return line + "  --port " + UniqueSelector(ports, index);
}

#include "cli/transfers/port_listing.h"

#include "cli/console/console_text.h"
#include "cli/console/messages.h"
#include "cli/transfers/port_selector.h"

namespace {

const char* TransportText(PortTransport transport) {
    switch (transport) {
    case TransportNative: return Say(MsgTransportNative);
    case TransportUsb: return Say(MsgTransportUsb);
    case TransportBluetooth: return Say(MsgTransportBluetooth);
    case TransportSimulated: return Say(MsgTransportPty);
    case TransportUnknown: break;
    }
    return Say(MsgTransportUnknown);
}

const char* HoldText(PortHold hold) {
    switch (hold) {
    case PortFree: return Say(MsgHoldFree);
    case PortHeld: return Say(MsgHoldHeld);
    case PortRefused: return Say(MsgHoldRefused);
    case PortHoldUnknown: break;
    }
    return Say(MsgHoldUnknown);
}

}  // namespace

std::string PortLine(const std::vector<PortIdentity>& ports, size_t index, bool sayHold) {
    const PortIdentity& port = ports[index];
    std::string line = port.name + "  " + TransportText(port.transport);
    if (port.transport == TransportUsb) {
        if (!UsbIdOf(port).empty()) line += " " + UsbIdOf(port);
        // An adapter names itself: nothing of it reaches the terminal unchecked.
        if (!port.product.empty()) line += " " + QuotedText(port.product);
        line += SayFormatted(MsgSerialNumber, port.serialNumber.empty()
                                                  ? Say(MsgNoSerialNumber)
                                                  : ShownText(port.serialNumber).c_str());
        if (!port.location.empty()) line += SayFormatted(MsgLocation, port.location.c_str());
    } else if (!port.product.empty()) {
        line += " " + QuotedText(port.product);
    }
    if (!port.byId.empty()) line += "  " + port.byId;
    if (sayHold) line += std::string("  ") + HoldText(port.hold);
    return line + "  --port " + UniqueSelector(ports, index);
}

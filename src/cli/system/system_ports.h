// The ports dm730 works on: the one given with --port, or every serial port of
// the system, listed to the core by the names we keep (UseNamedPorts), so the
// core's detection walks them and ListedPortName gives each one's name; and
// what the system knows of each port's adapter, so that a technician can tell
// two alike apart and pick one that keeps its identity across a reboot.
#pragma once
#include <string>
#include <vector>

enum PortTransport {
    TransportUnknown = 0,
    TransportNative,     // a UART of the machine itself
    TransportUsb,        // a USB adapter
    TransportBluetooth,  // a Bluetooth serial link
    TransportSimulated,  // a pty of the port folder (the tests, the simulator)
};

// Whether another program holds the port, as far as the system tells.
// PortRefused: this user may not open it, so it cannot tell.
enum PortHold { PortFree = 0, PortHeld, PortRefused, PortHoldUnknown };

// Empty texts and zero ids: the system does not know.
struct PortIdentity {
    std::string name;  // as we keep it: what --port takes and every message shows
    std::string byId;  // Linux: the /dev/serial/by-id name that leads to it
    PortTransport transport = TransportUnknown;
    int usbVendor = 0;  // USB VID and PID
    int usbProduct = 0;
    std::string product;       // the adapter's own name of itself, or the system's
    std::string serialNumber;  // the adapter's, as USB reports it
    std::string location;      // where it is plugged: "1-1.2" (Linux), "Port_#0002.Hub_#0001"
    PortHold hold = PortHoldUnknown;
};

// Every serial port of the system with what is known of it, in the order the
// search goes over them (ttyS2 before ttyS10, COM3 before COM10). Whether
// another program holds a port takes opening it; only a listing asks.
enum HoldQuestion { HoldNotAsked = 0, HoldAsked = 1 };
std::vector<PortIdentity> ListSystemPorts(HoldQuestion hold);

enum PortListOutcome { PortsListed = 0, PortNameInvalid = 1 };
// givenPort empty: every port; otherwise that one. PortNameInvalid for a name
// that can name no port (on Windows anything but COM and a number).
PortListOutcome ListCommandPorts(const std::string& givenPort);
// What the system knows of the port the search found the controller on (of
// its name alone when the system does not list it).
PortIdentity IdentityOfPort(const std::string& name);
// Whether a user gets access to the serial ports by joining a group (dialout
// on Linux), which the message of a refused port then says how to do.
bool PortsGrantedByGroup();
// An example of a port's name on this system, for a message.
extern const char PortNameExample[];

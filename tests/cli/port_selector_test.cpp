// Picking a port by its adapter, on a table of port records (a pty has no
// USB identity to fake): which ports a selector fits, the shortest one that
// fits a port alone, and the line `dm730 ports` prints.
#include <gtest/gtest.h>

#include "cli/transfers/port_listing.h"
#include "cli/transfers/port_selector.h"

namespace {

PortIdentity Usb(const char* name, int vid, int pid, const char* serial, const char* location,
                 const char* byId = "") {
    PortIdentity port;
    port.name = name;
    port.transport = TransportUsb;
    port.usbVendor = vid;
    port.usbProduct = pid;
    port.product = "FT232R USB UART";
    port.serialNumber = serial;
    port.location = location;
    port.byId = byId;
    port.hold = PortFree;
    return port;
}

PortIdentity Native(const char* name) {
    PortIdentity port;
    port.name = name;
    port.transport = TransportNative;
    port.hold = PortHeld;
    return port;
}

// Two FTDI adapters alike but for their serial numbers, a CH340 without
// one, two more CH340s without one (told apart by where they are plugged),
// and a UART of the machine.
const std::vector<PortIdentity> Ports = {
    Usb("/dev/ttyUSB0", 0x0403, 0x6001, "A12345", "1-1.2",
        "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"),
    Usb("/dev/ttyUSB1", 0x0403, 0x6001, "B7", "1-1.3",
        "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_B7-if00-port0"),
    Usb("/dev/ttyUSB2", 0x067b, 0x2303, "", "3-2"),
    Usb("/dev/ttyUSB3", 0x1a86, 0x7523, "", "1-1.4.1"),
    Usb("/dev/ttyUSB4", 0x1a86, 0x7523, "", "1-1.4.2"),
    Native("/dev/ttyS0"),
};

TEST(PortSelectorTest, EachSelectorFitsWhatItNames) {
    struct Case {
        const char* selector;
        bool isSelector;
        std::vector<size_t> fitting;
    };
    const Case cases[] = {
        {"serial=A12345", true, {0}},
        {"serial=a12345", true, {}},  // a serial number is exact
        {"serial=", true, {}},        // no adapter without one answers to it
        {"0403:6001", true, {0, 1}},
        {"1A86:7523", true, {3, 4}},  // hexadecimal in either case
        {"067b:2303", true, {2}},
        {"location=1-1.4.2", true, {4}},
        {"location=1-1", true, {}},  // a hub is not the port under it
        {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_B7-if00-port0", true, {1}},
        {"/dev/serial/by-id/usb-none", true, {}},
        {"/dev/ttyUSB0", false, {}},
        {"COM3", false, {}},
        {"0403:600", false, {}},
        {"0403:60g1", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selector);
        EXPECT_EQ(IsAdapterSelector(c.selector), c.isSelector);
        if (c.isSelector) {
            EXPECT_EQ(PortsFitting(c.selector, Ports), c.fitting);
        }
    }
}

TEST(PortSelectorTest, TheShortestSelectorThatFitsOnePortAlone) {
    const char* const expected[] = {
        "serial=A12345",  // its VID:PID fits both FTDIs
        "serial=B7",
        "067b:2303",         // shorter than its location, and alone
        "location=1-1.4.1",  // two alike without serial numbers
        "location=1-1.4.2",
        "/dev/ttyS0",  // nothing but its name
    };
    for (size_t i = 0; i < Ports.size(); ++i) {
        SCOPED_TRACE(Ports[i].name);
        std::string selector = UniqueSelector(Ports, i);
        EXPECT_EQ(selector, expected[i]);
        // Whatever it names picks that port and no other.
        if (IsAdapterSelector(selector)) {
            EXPECT_EQ(PortsFitting(selector, Ports), std::vector<size_t>{i});
        }
    }
    // Two adapters alike in every respect have only their names.
    std::vector<PortIdentity> twins = {Usb("/dev/ttyUSB0", 0x1a86, 0x7523, "", ""),
                                       Usb("/dev/ttyUSB1", 0x1a86, 0x7523, "", "")};
    EXPECT_EQ(UniqueSelector(twins, 1), "/dev/ttyUSB1");
}

TEST(PortSelectorTest, OneLineSaysAllThatIsKnownOfAPort) {
    EXPECT_EQ(PortLine(Ports, 0),
              "/dev/ttyUSB0  USB 0403:6001 \"FT232R USB UART\" nr seryjny A12345 miejsce 1-1.2  "
              "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0  wolny  --port "
              "serial=A12345");
    EXPECT_EQ(PortLine(Ports, 2),
              "/dev/ttyUSB2  USB 067b:2303 \"FT232R USB UART\" nr seryjny brak miejsce 3-2  wolny"
              "  --port 067b:2303");
    EXPECT_EQ(PortLine(Ports, 5),
              "/dev/ttyS0  wbudowany  zajęty przez inny program  --port /dev/ttyS0");
    // What an adapter says of itself cannot move the cursor or ring a bell.
    std::vector<PortIdentity> hostile = {Usb("/dev/ttyUSB9", 1, 2, "X\x1b[2J", "", "")};
    hostile[0].product = "Bad\x07Name";
    EXPECT_EQ(PortLine(hostile, 0).find('\x1b'), std::string::npos);
    EXPECT_EQ(PortLine(hostile, 0).find('\x07'), std::string::npos);
}

}  // namespace

// Linux: the serial devices libserialport finds, with what it knows of their
// USB adapters; where an adapter is plugged and its by-id name come from
// sysfs and udev's links. The line itself stays on the core's own termios
// channel. With a port folder (SELVO_PORT_DIR, the tests and the simulator),
// the ports are the links in that folder.
#include <dirent.h>
#include <fcntl.h>
#include <libserialport.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>

#include "cli/system/system_ports.h"
#include "serial/port_names.h"
#include "serial/port_table.h"

const char PortNameExample[] = "/dev/ttyUSB0";

namespace {

// ttyS2 before ttyS10: runs of digits compare by their value.
bool ComesBefore(const PortIdentity& a, const PortIdentity& b) {
    const std::string& x = a.name;
    const std::string& y = b.name;
    size_t i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        if (std::isdigit((unsigned char)x[i]) && std::isdigit((unsigned char)y[j])) {
            size_t ei = i, ej = j;
            while (ei < x.size() && std::isdigit((unsigned char)x[ei])) ++ei;
            while (ej < y.size() && std::isdigit((unsigned char)y[ej])) ++ej;
            unsigned long nx = std::strtoul(x.c_str() + i, nullptr, 10);
            unsigned long ny = std::strtoul(y.c_str() + j, nullptr, 10);
            if (nx != ny) return nx < ny;
            i = ei;
            j = ej;
        } else {
            if (x[i] != y[j]) return x[i] < y[j];
            ++i;
            ++j;
        }
    }
    return x.size() - i < y.size() - j;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

// The device each /dev/serial/by-id link leads to.
std::map<std::string, std::string> ByIdNames() {
    std::map<std::string, std::string> names;
    const std::string folder = "/dev/serial/by-id";
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::string link = folder + "/" + entry->d_name;
        std::string device = RealPath(link);
        if (!device.empty()) names[device] = link;
    }
    closedir(dir);
    return names;
}

// "1-1.2" for a device whose sysfs path runs through the USB interface
// "1-1.2:1.0": the bus and the ports from the root hub down.
std::string UsbLocation(const std::string& device) {
    std::string base = device.substr(device.rfind('/') + 1);
    std::string path = RealPath("/sys/class/tty/" + base + "/device");
    std::string found;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        size_t colon = part.find(':');
        size_t dash = part.find('-');
        if (colon != std::string::npos && dash != std::string::npos && dash < colon &&
            std::isdigit((unsigned char)part[0]))
            found = part.substr(0, colon);
        start = end + 1;
    }
    return found;
}

// Opening it the way the channel does, without touching its settings: held
// when the system reserves it (TIOCEXCL) or another program locked it.
PortHold HoldOf(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY) return PortHeld;
        return errno == EACCES || errno == EPERM ? PortRefused : PortHoldUnknown;
    }
    bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (!locked) flock(fd, LOCK_UN);
    close(fd);
    return locked ? PortHeld : PortFree;
}

std::string TextOf(const char* text) { return text != nullptr ? text : ""; }

PortIdentity IdentityFromLibrary(sp_port* port, const std::map<std::string, std::string>& byId,
                                 HoldQuestion hold) {
    PortIdentity identity;
    identity.name = KeptPortName(sp_get_port_name(port));
    auto link = byId.find(RealPath(identity.name));
    if (link != byId.end()) identity.byId = link->second;
    switch (sp_get_port_transport(port)) {
    case SP_TRANSPORT_NATIVE: identity.transport = TransportNative; break;
    case SP_TRANSPORT_USB: identity.transport = TransportUsb; break;
    case SP_TRANSPORT_BLUETOOTH: identity.transport = TransportBluetooth; break;
    }
    if (identity.transport == TransportUsb) {
        int vid = 0, pid = 0;
        if (sp_get_port_usb_vid_pid(port, &vid, &pid) == SP_OK) {
            identity.usbVendor = vid;
            identity.usbProduct = pid;
        }
        identity.product = TextOf(sp_get_port_usb_product(port));
        identity.serialNumber = TextOf(sp_get_port_usb_serial(port));
        identity.location = UsbLocation(identity.name);
    }
    if (identity.product.empty() && identity.transport != TransportNative)
        identity.product = TextOf(sp_get_port_description(port));
    if (hold == HoldAsked) identity.hold = HoldOf(identity.name);
    return identity;
}

}  // namespace

std::vector<PortIdentity> ListSystemPorts(HoldQuestion hold) {
    std::vector<PortIdentity> ports;
    std::vector<std::string> links;
    if (ReadSimulatedPortLinks(&links)) {
        for (const std::string& link : links) {
            PortIdentity identity;
            identity.name = KeptPortName(link);
            identity.transport = TransportSimulated;
            if (hold == HoldAsked) identity.hold = HoldOf(identity.name);
            ports.push_back(identity);
        }
    } else {
        sp_port** list = nullptr;
        if (sp_list_ports(&list) == SP_OK) {
            std::map<std::string, std::string> byId = ByIdNames();
            for (sp_port** p = list; *p != nullptr; ++p)
                if (sp_get_port_name(*p) != nullptr)
                    ports.push_back(IdentityFromLibrary(*p, byId, hold));
            sp_free_port_list(list);
        }
    }
    std::sort(ports.begin(), ports.end(), ComesBefore);
    return ports;
}

PortListOutcome ListCommandPorts(const std::string& givenPort) {
    std::vector<std::string> names;
    if (givenPort.empty()) {
        for (const PortIdentity& port : ListSystemPorts(HoldNotAsked)) names.push_back(port.name);
    } else {
        names.push_back(KeptPortName(givenPort));
        if (names.back().empty()) return PortNameInvalid;
    }
    UseNamedPorts(names);
    return PortsListed;
}

PortIdentity IdentityOfPort(const std::string& name) {
    for (const PortIdentity& port : ListSystemPorts(HoldNotAsked))
        if (port.name == name || RealPath(port.name) == RealPath(name)) return port;
    PortIdentity alone;
    alone.name = name;
    return alone;
}

bool PortsGrantedByGroup() { return true; }

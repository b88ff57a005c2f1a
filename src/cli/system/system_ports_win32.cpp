// Windows: every COM port any of the system's three lists knows: the
// spooler's (the window's own table), the serial devices of
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, and the devices SetupAPI lists in the
// Ports class, which is where a USB adapter's COM5 and above come from. What
// an adapter is comes from SetupAPI and the configuration manager. Each port
// is opened by its COM name as the window opens its ports.
#include <windows.h>
// After windows.h:
#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "cli/system/system_ports.h"
#include "serial/port_names.h"
#include "serial/port_table.h"

const char PortNameExample[] = "COM3";

namespace {

bool IsComName(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return false;
    for (size_t i = 3; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

// COM3 before COM10.
bool ComesBefore(const PortIdentity& a, const PortIdentity& b) {
    unsigned long x = std::strtoul(a.name.c_str() + 3, nullptr, 10);
    unsigned long y = std::strtoul(b.name.c_str() + 3, nullptr, 10);
    return x != y ? x < y : a.name < b.name;
}

// The window's table is built for the moment; the ports the command already
// works on (a found controller's) are listed again afterwards.
void AddSpoolerPorts(std::set<std::string>* names) {
    std::vector<std::string> inUse;
    for (int i = 0; ListedPortName(i) != nullptr; ++i) inUse.push_back(ListedPortName(i));
    BuildPortTable();
    for (int i = 0; ListedPortName(i) != nullptr; ++i) {
        std::string name = KeptPortName(ListedPortName(i));
        if (IsComName(name)) names->insert(name);
    }
    FreePortTable();
    if (!inUse.empty()) UseNamedPorts(inUse);
}

void AddSerialCommPorts(std::set<std::string>* names) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        char value[256];
        BYTE data[64];
        DWORD valueSize = sizeof value, dataSize = sizeof data - 1, type = 0;
        LONG r = RegEnumValueA(key, i, value, &valueSize, NULL, &type, data, &dataSize);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataSize] = 0;
        std::string name = KeptPortName(reinterpret_cast<char*>(data));
        if (IsComName(name)) names->insert(name);
    }
    RegCloseKey(key);
}

std::string Property(HDEVINFO devices, SP_DEVINFO_DATA* device, DWORD property) {
    char text[1024] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(devices, device, property, &type,
                                           reinterpret_cast<BYTE*>(text), sizeof text - 2, NULL))
        return "";
    return text;  // a REG_MULTI_SZ gives its first string
}

std::string InstanceId(DEVINST instance) {
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    return CM_Get_Device_IDA(instance, id, sizeof id, 0) == CR_SUCCESS ? id : "";
}

int HexAfter(const std::string& text, const char* label) {
    size_t at = text.find(label);
    if (at == std::string::npos) return 0;
    return int(std::strtoul(text.substr(at + std::string(label).size(), 4).c_str(), nullptr, 16));
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

// The USB device itself, up the tree from the port's own node (an FTDI
// port's parent, a composite device's interface's parent): its instance ID
// is USB\VID_0403&PID_6001\<serial>, where Windows puts the adapter's serial
// number, or an ID of its own with an "&" when the adapter has none.
void TakeUsbIdentity(DEVINST instance, PortIdentity* identity) {
    for (int depth = 0; depth < 4; ++depth) {
        std::string id = Upper(InstanceId(instance));
        if (id.compare(0, 4, "USB\\") == 0 && id.find("&MI_") == std::string::npos) {
            identity->transport = TransportUsb;
            identity->usbVendor = HexAfter(id, "VID_");
            identity->usbProduct = HexAfter(id, "PID_");
            std::string original = InstanceId(instance);
            size_t last = original.rfind('\\');
            std::string serial = last != std::string::npos ? original.substr(last + 1) : "";
            if (serial.find('&') == std::string::npos) identity->serialNumber = serial;
            return;
        }
        DEVINST parent;
        if (CM_Get_Parent(&parent, instance, 0) != CR_SUCCESS) return;
        instance = parent;
    }
}

void AddSetupApiPorts(std::set<std::string>* names, std::vector<PortIdentity>* known) {
    HDEVINFO devices = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, NULL, NULL, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        char portName[64] = {};
        DWORD size = sizeof portName - 1, type = 0;
        LONG r = RegQueryValueExA(key, "PortName", NULL, &type, reinterpret_cast<BYTE*>(portName),
                                  &size);
        RegCloseKey(key);
        std::string name = r == ERROR_SUCCESS ? KeptPortName(portName) : "";
        if (!IsComName(name)) continue;
        names->insert(name);
        PortIdentity identity;
        identity.name = name;
        std::string id = Upper(InstanceId(device.DevInst));
        if (id.compare(0, 5, "ACPI\\") == 0 || id.compare(0, 5, "PCI\\") == 0)
            identity.transport = TransportNative;
        if (id.compare(0, 8, "BTHENUM\\") == 0) identity.transport = TransportBluetooth;
        TakeUsbIdentity(device.DevInst, &identity);
        identity.product = Property(devices, &device, SPDRP_FRIENDLYNAME);
        identity.location = Property(devices, &device, SPDRP_LOCATION_INFORMATION);
        known->push_back(identity);
    }
    SetupDiDestroyDeviceInfoList(devices);
}

// A COM port is exclusive on Windows: another program's handle refuses ours.
PortHold HoldOf(const std::string& name) {
    HANDLE port = CreateFileA(SystemPortPath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (port == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_ACCESS_DENIED ? PortHeld : PortHoldUnknown;
    CloseHandle(port);
    return PortFree;
}

}  // namespace

std::vector<PortIdentity> ListSystemPorts(HoldQuestion hold) {
    std::set<std::string> names;
    std::vector<PortIdentity> known;
    AddSpoolerPorts(&names);
    AddSerialCommPorts(&names);
    AddSetupApiPorts(&names, &known);
    std::vector<PortIdentity> ports;
    for (const std::string& name : names) {
        PortIdentity identity;
        identity.name = name;
        for (const PortIdentity& k : known)
            if (k.name == name) identity = k;
        if (hold == HoldAsked) identity.hold = HoldOf(name);
        ports.push_back(identity);
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
        if (!IsComName(names.back())) return PortNameInvalid;
    }
    UseNamedPorts(names);
    return PortsListed;
}

PortIdentity IdentityOfPort(const std::string& name) {
    for (const PortIdentity& port : ListSystemPorts(HoldNotAsked))
        if (port.name == name) return port;
    PortIdentity alone;
    alone.name = name;
    return alone;
}

bool PortsGrantedByGroup() { return false; }

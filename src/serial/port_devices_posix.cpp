#include "serial/port_devices.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "serial/port_table.h"

namespace {

// Index i holds the device of alias "COM<i+1>".
std::vector<std::string> PortDevices;

// An alias has at most four digits, so it fits its 8-byte slot.
const size_t MostPortDevices = 9999;

}  // namespace

void UsePortDevices(const std::vector<std::string>& paths) {
    PortDevices.assign(paths.begin(), paths.begin() + std::min(paths.size(), MostPortDevices));
    FreePortTable();
    PortTable = new PortSlot[PortDevices.size() + 1]();
    for (size_t i = 0; i < PortDevices.size(); ++i)
        std::snprintf(PortTable[i], sizeof(PortSlot), "COM%u", unsigned(i + 1) % 10000);
}

void ForgetPortDevices() { PortDevices.clear(); }

const char* PortDevicePath(const char* portName) {
    if (portName == nullptr || std::strncmp(portName, "COM", 3) != 0) return nullptr;
    const char* digits = portName + 3;
    size_t n = 0;
    size_t length = 0;
    for (; digits[length] >= '0' && digits[length] <= '9'; ++length) {
        if (length == 4) return nullptr;
        n = n * 10 + size_t(digits[length] - '0');
    }
    bool ends = digits[length] == '\0' || (digits[length] == ':' && digits[length + 1] == '\0');
    if (length == 0 || digits[0] == '0' || !ends || n > PortDevices.size()) return nullptr;
    return PortDevices[n - 1].c_str();
}

#include "cli/transfers/port_selector.h"

#include <cctype>
#include <cstdio>

namespace {

const char SerialPrefix[] = "serial=";
const char LocationPrefix[] = "location=";
const char ByIdFolder[] = "/dev/serial/by-id/";

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::string(prefix).size(), prefix) == 0;
}

bool IsUsbId(const std::string& text) {
    if (text.size() != 9 || text[4] != ':') return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i != 4 && !std::isxdigit((unsigned char)text[i])) return false;
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower((unsigned char)c));
    return text;
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool Fits(const std::string& selector, const PortIdentity& port) {
    if (StartsWith(selector, SerialPrefix))
        return !port.serialNumber.empty() &&
               port.serialNumber == selector.substr(sizeof SerialPrefix - 1);
    if (StartsWith(selector, LocationPrefix))
        return !port.location.empty() &&
               port.location == selector.substr(sizeof LocationPrefix - 1);
    if (IsUsbId(selector)) return !UsbIdOf(port).empty() && UsbIdOf(port) == Lower(selector);
    return !port.byId.empty() &&
           (port.byId == selector || BaseName(port.byId) == BaseName(selector));
}

}  // namespace

std::string UsbIdOf(const PortIdentity& port) {
    if (port.usbVendor == 0 && port.usbProduct == 0) return "";
    char text[16];
    snprintf(text, sizeof text, "%04x:%04x", unsigned(port.usbVendor) & 0xffff,
             unsigned(port.usbProduct) & 0xffff);
    return text;
}

bool IsAdapterSelector(const std::string& text) {
    return StartsWith(text, SerialPrefix) || StartsWith(text, LocationPrefix) || IsUsbId(text) ||
           StartsWith(text, ByIdFolder);
}

std::vector<size_t> PortsFitting(const std::string& selector,
                                 const std::vector<PortIdentity>& ports) {
    std::vector<size_t> fitting;
    for (size_t i = 0; i < ports.size(); ++i)
        if (Fits(selector, ports[i])) fitting.push_back(i);
    return fitting;
}

std::string UniqueSelector(const std::vector<PortIdentity>& ports, size_t index) {
    const PortIdentity& port = ports[index];
    std::vector<std::string> candidates;
    if (!port.serialNumber.empty()) candidates.push_back(SerialPrefix + port.serialNumber);
    if (!UsbIdOf(port).empty()) candidates.push_back(UsbIdOf(port));
    if (!port.location.empty()) candidates.push_back(LocationPrefix + port.location);
    if (!port.byId.empty()) candidates.push_back(port.byId);
    std::string best;
    for (const std::string& candidate : candidates) {
        std::vector<size_t> fitting = PortsFitting(candidate, ports);
        if (fitting.size() != 1 || fitting[0] != index) continue;
        if (best.empty() || candidate.size() < best.size()) best = candidate;
    }
    return best.empty() ? port.name : best;
}

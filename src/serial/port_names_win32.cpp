#include "serial/port_names.h"

std::string KeptPortName(const std::string& given) {
    std::string name = BarePortName(given);
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return name;
}

std::string SystemPortPath(const std::string& name) {
    std::string kept = KeptPortName(name);
    return kept.empty() ? "" : "\\\\.\\" + kept;
}

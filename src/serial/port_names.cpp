#include "serial/port_names.h"

std::string BarePortName(const std::string& name) {
    std::string bare = name;
    if (bare.compare(0, 4, "\\\\.\\") == 0) bare.erase(0, 4);
    if (!bare.empty() && bare.back() == ':') bare.pop_back();
    return bare;
}

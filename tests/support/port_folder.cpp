#include "support/port_folder.h"

#include <cstdlib>

PortFolder::PortFolder() : folder_("selvo_ports") {
    const char* old = std::getenv("SELVO_PORT_DIR");
    hadValue_ = old != nullptr;
    if (hadValue_) oldValue_ = old;
    setenv("SELVO_PORT_DIR", folder_.Path().c_str(), 1);
}

PortFolder::~PortFolder() {
    if (hadValue_)
        setenv("SELVO_PORT_DIR", oldValue_.c_str(), 1);
    else
        unsetenv("SELVO_PORT_DIR");
}

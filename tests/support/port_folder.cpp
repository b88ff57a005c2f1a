#include "support/port_folder.h"

#include <cstdlib>

PortFolder::PortFolder() { setenv("SELVO_PORT_DIR", folder_.Path().c_str(), 1); }

PortFolder::~PortFolder() {
    if (hadValue_)
        setenv("SELVO_PORT_DIR", oldValue_.c_str(), 1);
    else
        unsetenv("SELVO_PORT_DIR");
}

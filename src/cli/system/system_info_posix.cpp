#include <sys/utsname.h>

#include "cli/system/system_info.h"

std::string SystemDescription() {
    utsname name;
    if (uname(&name) != 0) return "?";
    return std::string(name.sysname) + " " + name.release + " " + name.machine;
}

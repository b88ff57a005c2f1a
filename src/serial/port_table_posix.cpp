// Native stand-in for the spooler: the ports are the links in $SELVO_PORT_DIR
// (com3 -> some tty), where the native channel looks them up again.
#include "serial/port_table.h"

#include "serial/port_devices.h"

#include <dirent.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

void BuildPortTable() {
    FreePortTable();
    ForgetPortDevices();
    const char* folder = std::getenv("SELVO_PORT_DIR");
    DIR* dir = folder ? opendir(folder) : nullptr;
    if (dir == nullptr) {
        UseFallbackPortTable();
        return;
    }
    // Reported the way the spooler reports them: upper case, with a colon.
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::string name(entry->d_name);
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        names.push_back(name + ":");
    }
    closedir(dir);
    std::vector<PortRecord> records;
    for (std::string& name : names) records.push_back(PortRecord{&name[0]});
    FillPortTable(records.data(), records.size());
}

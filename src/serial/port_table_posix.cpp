// Native stand-in for the spooler: the ports are the links in the port folder
// (com3 -> some tty), reported the way the spooler reports them: upper case,
// with a colon.
#include "serial/port_table.h"

#include <cctype>
#include <string>
#include <vector>

#include "serial/port_names.h"

void BuildPortTable() {
    std::vector<std::string> links;
    if (!ReadSimulatedPortLinks(&links)) {
        UseFallbackPortTable();
        return;
    }
    std::vector<std::string> names;
    for (std::string name : links) {
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        names.push_back(name + ":");
    }
    std::vector<PortRecord> records;
    for (std::string& name : names) records.push_back(PortRecord{&name[0]});
    FillPortTable(records.data(), records.size());
}

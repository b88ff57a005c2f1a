#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>

#include "serial/port_names.h"

namespace {

// name itself when folder holds it; otherwise the one entry that differs
// only in the case of letters; otherwise name.
std::string EntryOf(const std::string& folder, const std::string& name) {
    struct stat info;
    if (lstat((folder + "/" + name).c_str(), &info) == 0) return name;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return name;
    std::string found = name;
    while (const dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) != 0) continue;
        found = entry->d_name;
        break;
    }
    closedir(dir);
    return found;
}

}  // namespace

std::string SimulatedPortFolder() {
    const char* folder = std::getenv("SELVO_PORT_DIR");
    return folder != nullptr ? folder : "";
}

bool ReadSimulatedPortLinks(std::vector<std::string>* links) {
    links->clear();
    std::string folder = SimulatedPortFolder();
    DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
    if (dir == nullptr) return false;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') links->push_back(entry->d_name);
    closedir(dir);
    return true;
}

std::string KeptPortName(const std::string& given) {
    std::string name = BarePortName(given);
    if (name.find('/') != std::string::npos) return name;
    // A bare name never steps out of its folder.
    if (name.empty() || name == "." || name == ".." || name.find('\\') != std::string::npos ||
        name.find(':') != std::string::npos)
        return "";
    std::string folder = SimulatedPortFolder();
    if (folder.empty()) folder = "/dev";
    return folder + "/" + EntryOf(folder, name);
}

std::string SystemPortPath(const std::string& name) { return KeptPortName(name); }

// The native channel's port folder: a temporary folder in which COM names are
// looked up as links (COM3 as com3), named by SELVO_PORT_DIR for the object's
// life. The variable is put back as it was (unset if it was), whatever a test
// set it to meanwhile, and the folder goes.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_folder.h"

class PortFolder {
  public:
    PortFolder();
    ~PortFolder();

    const std::filesystem::path& Path() const { return folder_.Path(); }
    std::string PathOf(const std::string& name) const { return folder_.PathOf(name); }

  private:
    TempFolder folder_{"selvo_ports"};
    bool hadValue_ = std::getenv("SELVO_PORT_DIR") != nullptr;
    std::string oldValue_ = hadValue_ ? std::getenv("SELVO_PORT_DIR") : "";
};

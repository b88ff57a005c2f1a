// The port folder of the native channel: a temporary folder in which COM names
// are looked up as links (COM3 as com3), named by SELVO_PORT_DIR for the
// object's life. The variable is put back as it was when the object goes (unset
// if it was unset), whatever a test set it to meanwhile; the folder goes too.
#pragma once
#include <filesystem>
#include <string>

#include "support/temp_folder.h"

class PortFolder {
  public:
    PortFolder();
    ~PortFolder();

    const std::filesystem::path& Path() const { return folder_.Path(); }
    // A name inside the folder: PathOf("com1") is where COM1 is looked for.
    std::string PathOf(const std::string& name) const { return folder_.PathOf(name); }

  private:
    TempFolder folder_;
    bool hadValue_ = false;
    std::string oldValue_;
};

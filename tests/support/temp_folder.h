// A folder of one test's own under the system's temporary folder, removed with
// everything in it when the object goes, also when an assertion ends the test.
#pragma once
#include <filesystem>
#include <string>

class TempFolder {
  public:
    // Named prefix_XXXXXX, so that a leftover says whose it is. Throws
    // std::system_error when it cannot be made (the test then fails).
    explicit TempFolder(const std::string& prefix = "selvo");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

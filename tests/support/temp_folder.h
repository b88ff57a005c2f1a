// A folder of one test's own under the system's temporary folder, removed with
// everything in it when the object goes: a test that an assertion ends early
// leaves nothing behind either.
#pragma once
#include <filesystem>
#include <string>

class TempFolder {
  public:
    // The folder is named prefix_XXXXXX, so that a leftover says whose it is.
    // Throws std::system_error when it cannot be made (the test then fails).
    explicit TempFolder(const std::string& prefix = "selvo");
    ~TempFolder();
    TempFolder(TempFolder&& other) noexcept;
    TempFolder& operator=(TempFolder&& other) noexcept;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // A name inside the folder.
    std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

  private:
    void Remove();
    std::filesystem::path path_;
};

// Private work folders under the system's temporary directory.
#pragma once

#include <filesystem>
#include <string_view>

namespace melvane {

// The user's temporary directory (on Windows in its long form).
std::filesystem::path TemporaryDirectory();

// Removes a folder and everything in it. Links inside are removed themselves, never followed,
// so nothing outside the folder is touched. True when nothing is left.
bool RemoveTree(const std::filesystem::path& folder);

// A freshly made folder that only the current user can enter, named by `prefix` and a unique
// suffix, and removed with everything in it when the object goes away.
class TempFolder {
  public:
    explicit TempFolder(std::string_view prefix,
                        const std::filesystem::path& parent = TemporaryDirectory());
    ~TempFolder();
    TempFolder(TempFolder&& other) noexcept;
    TempFolder& operator=(TempFolder&& other) noexcept;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool IsCreated() const { return !path_.empty(); }
    const std::filesystem::path& Path() const { return path_; }
    // Removes the folder now; true when nothing is left.
    bool Remove();

  private:
    std::filesystem::path path_;
};

}  // namespace melvane

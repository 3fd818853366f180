// Opening a document or a web address with the user's default application.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace melvane {

class Shell {
  public:
    virtual ~Shell() = default;
    // Starts the default application for the document's type and returns without waiting.
    // A failure is silent for the user; the result only tells the caller.
    virtual bool OpenDocument(const std::filesystem::path& document) = 0;
    virtual bool OpenWebAddress(const std::u16string& address) = 0;
};

// The system's own: ShellExecuteExW on Windows, a detached xdg-open elsewhere.
std::unique_ptr<Shell> CreateSystemShell();

// Records what would have been opened.
class RecordingShell : public Shell {
  public:
    bool OpenDocument(const std::filesystem::path& document) override {
        documents.push_back(document);
        return opens;
    }
    bool OpenWebAddress(const std::u16string& address) override {
        addresses.push_back(address);
        return true;
    }
    std::vector<std::filesystem::path> documents;
    std::vector<std::u16string> addresses;
    bool opens = true;  // false: as when no program is associated with the document's type
};

}  // namespace melvane

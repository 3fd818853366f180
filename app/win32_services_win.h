// Win32 forms of the controller's small interfaces.
#pragma once

#include <windows.h>

#include "app/controller.h"
#include "platform/user_messages.h"

namespace melvane {

class Win32EditField : public EditField {
  public:
    explicit Win32EditField(HWND edit = nullptr) : edit_(edit) {}
    void Attach(HWND edit) { edit_ = edit; }
    HWND Handle() const { return edit_; }

    std::u16string Text() const override;
    void SetText(const std::u16string& text) override;
    void SelectAll() override;
    void Focus() override;

  private:
    HWND edit_;
};

class Win32FileDialog : public FileDialog {
  public:
    explicit Win32FileDialog(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    std::u16string AskForFile(const std::u16string& title, const std::u16string& filters,
                              const std::u16string& defaultFile) override;

  private:
    HWND owner_;
};

// Modal message boxes owned by the main window.
class MessageBoxes : public UserMessages {
  public:
    explicit MessageBoxes(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    void Show(const UserMessage& message) override;
    bool Ask(const UserMessage& question) override;

  private:
    HWND owner_;
};

}  // namespace melvane

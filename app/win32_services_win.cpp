#include "app/win32_services_win.h"

#include <commdlg.h>

#include <vector>

namespace melvane {
namespace {

std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}
std::u16string Narrow16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

// The open dialog's library is loaded when the dialog is first asked for, from the system
// folder only: imported, it is loaded at every start, which under Wine costs a third of a second
// before the window can appear.
using OpenDialogFunction = BOOL(WINAPI*)(LPOPENFILENAMEW);

OpenDialogFunction OpenDialog() {
    static const OpenDialogFunction function = [] {
        const HMODULE library =
            LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        const FARPROC found =
            library != nullptr ? GetProcAddress(library, "GetOpenFileNameW") : nullptr;
        return reinterpret_cast<OpenDialogFunction>(reinterpret_cast<void*>(found));
    }();
    return function;
}

}  // namespace

std::u16string Win32EditField::Text() const {
    const int length = GetWindowTextLengthW(edit_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(edit_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return Narrow16(text);
}

void Win32EditField::SetText(const std::u16string& text) {
    SetWindowTextW(edit_, Wide(text).c_str());
}

void Win32EditField::SelectAll() {
    SendMessageW(edit_, EM_SETSEL, 0, -1);
}

void Win32EditField::Focus() {
    SetFocus(edit_);
}

std::u16string Win32FileDialog::AskForFile(const std::u16string& title,
                                           const std::u16string& filters,
                                           const std::u16string& defaultFile) {
    // The dialog wants "label\0pattern\0...\0\0" where we keep "label|pattern|...".
    std::wstring filter = Wide(filters);
    for (wchar_t& c : filter) {
        if (c == L'|')
            c = L'\0';
    }
    filter.push_back(L'\0');
    filter.push_back(L'\0');

    // Room for long paths; the current document is the starting choice.
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring start = Wide(defaultFile);
    if (start.size() < file.size()) {
        std::copy(start.begin(), start.end(), file.begin());
    }
    const std::wstring caption = Wide(title);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = caption.c_str();
    dialog.Flags =
        OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    const OpenDialogFunction openDialog = OpenDialog();
    if (openDialog == nullptr || !openDialog(&dialog)) {
        return {};
    }
    return Narrow16(file.data());
}

void MessageBoxes::Show(const UserMessage& message) {
    UINT icon = 0;
    if (message.icon == MessageIcon::Information) {
        icon = MB_ICONINFORMATION;
    } else if (message.icon == MessageIcon::Error) {
        icon = MB_ICONERROR;
    } else if (message.icon == MessageIcon::Question) {
        icon = MB_ICONQUESTION;
    }
    MessageBoxW(owner_, Wide(message.text).c_str(), Wide(message.title).c_str(), MB_OK | icon);
}

bool MessageBoxes::Ask(const UserMessage& question) {
    // No is the default: Enter pressed by habit must not replace a file.
    return MessageBoxW(owner_, Wide(question.text).c_str(), Wide(question.title).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

}  // namespace melvane

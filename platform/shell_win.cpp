#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include <string>

#include "platform/scoped_win.h"
#include "platform/shell.h"

namespace melvane {
namespace {

// Opens a file or an address with the action the system associates with it, as a double
// click in the Explorer would; no error box: a failure is reported to the caller only.
bool ShellOpen(const std::wstring& target) {
    // Shell extensions that handle the open may need COM on this thread. The window has it
    // already; the command line may not.
    const ScopedComInitialisation com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // NOASYNC: the command line exits right after this call, which must not cut the hand-over.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = nullptr;
    info.lpFile = target.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

class WindowsShell : public Shell {
  public:
    bool OpenDocument(const std::filesystem::path& document) override {
        return ShellOpen(document.wstring());
    }
    bool OpenWebAddress(const std::u16string& address) override {
        return ShellOpen(std::wstring(address.begin(), address.end()));
    }
};

}  // namespace

std::unique_ptr<Shell> CreateSystemShell() {
    return std::make_unique<WindowsShell>();
}

}  // namespace melvane

#include "tests/word/stand_in_client.h"

#include <objbase.h>

#include "tests/com/server_registration.h"

namespace melvane::testing {
namespace {

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

bool WordIsRegistered() {
    CLSID found{};
    return SUCCEEDED(CLSIDFromProgID(kWordProgIdForTests, &found));
}

WordStandIn::~WordStandIn() {
    Uninstall();
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

bool WordStandIn::Install(std::string& why) {
    if (WordIsRegistered() && !ProgIdResolves(kWordProgIdForTests, kWordStandInClsid)) {
        why = "a real Word.application is registered here; the stand-in stays out of its way";
        return false;
    }
    const std::wstring file = ProgramFolder() + L"\\" + kWordStandInFile;
    if (module_ == nullptr) {
        module_ = LoadLibraryW(file.c_str());
        if (module_ == nullptr) {
            why = "the Word stand-in could not be loaded from beside the test program";
            return false;
        }
        alive_ = Export<WordStandInAliveFunction>(module_, "WordStandInAlive");
        reset_ = Export<WordStandInResetFunction>(module_, "WordStandInReset");
        callCount_ = Export<WordStandInCallCountFunction>(module_, "WordStandInCallCount");
        call_ = Export<WordStandInCallFunction>(module_, "WordStandInCall");
        failCalls_ = Export<WordStandInFailCallsFunction>(module_, "WordStandInFailCalls");
        if (!alive_ || !reset_ || !callCount_ || !call_ || !failCalls_) {
            why = "the Word stand-in lacks one of its exports";
            return false;
        }
    }
    registered_ = true;
    if (!RegisterServer(kWordProgIdForTests, kWordStandInClsid, file)) {
        Uninstall();
        why = "the Word stand-in could not be registered";
        return false;
    }
    return true;
}

void WordStandIn::Uninstall() {
    if (registered_) {
        // Only ever reached when the ProgID was free or already the stand-in's.
        UnregisterServer(kWordProgIdForTests, kWordStandInClsid);
        registered_ = false;
    }
}

void WordStandIn::Reset() const {
    reset_();
}

std::vector<std::wstring> WordStandIn::Calls() const {
    std::vector<std::wstring> calls;
    const long count = callCount_();
    for (long i = 0; i < count; ++i) {
        calls.emplace_back(call_(i));
    }
    return calls;
}

void WordStandIn::FailCalls(const wchar_t* prefix) const {
    failCalls_(prefix);
}

}  // namespace melvane::testing

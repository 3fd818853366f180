// The word tests' side of the Word stand-in: loads it, registers it as "Word.application" for
// the length of a test suite, and reads its log.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/word/word_stand_in.h"

namespace melvane::testing {

class WordStandIn {
  public:
    WordStandIn() = default;
    WordStandIn(const WordStandIn&) = delete;
    WordStandIn& operator=(const WordStandIn&) = delete;
    ~WordStandIn();

    // Loads the stand-in beside the test program and registers it. Refuses, touching nothing,
    // when "Word.application" already names some other class: a real Word is never shadowed
    // or unregistered. False with the reason in `why`.
    bool Install(std::string& why);
    // Takes out what Install wrote; the module stays loaded for its log.
    void Uninstall();

    long Alive() const { return alive_ != nullptr ? alive_() : -1; }
    void Reset() const;
    std::vector<std::wstring> Calls() const;
    void FailCalls(const wchar_t* prefix) const;

  private:
    HMODULE module_ = nullptr;
    bool registered_ = false;
    WordStandInAliveFunction alive_ = nullptr;
    WordStandInResetFunction reset_ = nullptr;
    WordStandInCallCountFunction callCount_ = nullptr;
    WordStandInCallFunction call_ = nullptr;
    WordStandInFailCallsFunction failCalls_ = nullptr;
};

// True when "Word.application" names any class at all.
bool WordIsRegistered();

}  // namespace melvane::testing

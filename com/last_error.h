// The result of the calling thread's last automation operation, as a code and a sentence the
// user can read. Each thread has its own record, made on its first store.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace melvane {

// 0 when this thread has stored nothing yet.
std::int64_t LastErrorCode();
// Empty when this thread has stored nothing yet.
std::wstring LastErrorText();

// Stores the code with its text. extraText is the partial-success detail for S_FALSE and the
// server's own description for DISP_E_EXCEPTION; other codes ignore it.
void SetLastResult(std::int64_t code, std::wstring_view extraText = {});

// The text SetLastResult stores for a code, without storing anything.
std::wstring ResultText(std::int64_t code, std::wstring_view extraText = {});

}  // namespace melvane

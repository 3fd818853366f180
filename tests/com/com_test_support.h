// What every COM test program shares: COM on the test thread and a checked task allocator.
//
// The checked allocator sees every CoTaskMemAlloc block, and so every BSTR (the BSTR cache is
// switched off for the test program), which lets a test compare the live blocks before and
// after an operation and make one chosen allocation fail.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace melvane::testing {

class CheckedAllocator {
  public:
    // Blocks allocated while the checker was on and not yet freed.
    static long Live();
    // The allocation `index` places ahead (0 = the next one) fails; -1 lets all succeed.
    static void FailAllocation(long index);
    // Whether the chosen allocation has failed since FailAllocation.
    static bool Failed();
};

// For test messages: UTF-8 of a wide text.
std::string Narrow(std::wstring_view text);

}  // namespace melvane::testing

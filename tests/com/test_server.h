// The in-process automation server the creation tests register in their Wine prefix.
#pragma once

#include <windows.h>

namespace melvane::testing {

inline constexpr wchar_t kTestServerFile[] = L"melvane_test_server.dll";

// Hands out its objects for IDispatch.
inline constexpr wchar_t kTestServerProgId[] = L"Melvane.TestServer";
inline constexpr wchar_t kTestServerClsid[] = L"{6A0D8E61-3C1B-4F0E-9B7A-52D4C1E8A901}";
// Its factory refuses IDispatch and only gives IUnknown, as some servers do.
inline constexpr wchar_t kUnknownOnlyProgId[] = L"Melvane.TestServer.UnknownOnly";
inline constexpr wchar_t kUnknownOnlyClsid[] = L"{6A0D8E61-3C1B-4F0E-9B7A-52D4C1E8A902}";

// What the server's objects answer: "Name" is kTestServerName, "Add(a, b)" the sum as a long,
// "Child" an object whose "Value" is 42.
inline constexpr wchar_t kTestServerName[] = L"Melvane test server";

// Exported by the server: its objects still alive.
using TestServerAliveFunction = long(WINAPI*)();
inline constexpr char kTestServerAliveExport[] = "TestServerAlive";

}  // namespace melvane::testing

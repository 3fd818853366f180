// Registering a test's in-process automation server in the Wine prefix, and taking it out again.
#pragma once

#include <string>

namespace melvane::testing {

// Registers the DLL `file` as the class `clsid` under `progId`. Per user first, which needs no
// administrator rights on Windows; Wine's COM reads only the machine's classes, so when the
// ProgID does not resolve that way the registration is written machine-wide (in the test's
// private prefix). True when the ProgID now names the class.
bool RegisterServer(const wchar_t* progId, const wchar_t* clsid, const std::wstring& file);

// Removes both registrations, whichever was written.
void UnregisterServer(const wchar_t* progId, const wchar_t* clsid);

// True when `progId` names the class `clsid`.
bool ProgIdResolves(const wchar_t* progId, const wchar_t* clsid);

// Where the test program lives: its servers are built beside it.
std::wstring ProgramFolder();

}  // namespace melvane::testing

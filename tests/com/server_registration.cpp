#include "tests/com/server_registration.h"

#include <windows.h>

#include <objbase.h>

namespace melvane::testing {
namespace {

constexpr wchar_t kClassesKey[] = L"Software\\Classes\\";

bool SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG status =
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool WriteRegistration(HKEY root, const wchar_t* progId, const wchar_t* clsid,
                       const std::wstring& file) {
    const std::wstring classKey = std::wstring(kClassesKey) + L"CLSID\\" + clsid;
    const std::wstring progIdKey = std::wstring(kClassesKey) + progId;
    return SetText(root, classKey + L"\\InprocServer32", nullptr, file) &&
           SetText(root, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
           SetText(root, classKey + L"\\ProgID", nullptr, progId) &&
           SetText(root, progIdKey + L"\\CLSID", nullptr, clsid);
}

void RemoveRegistration(HKEY root, const wchar_t* progId, const wchar_t* clsid) {
    RegDeleteTreeW(root, (std::wstring(kClassesKey) + L"CLSID\\" + clsid).c_str());
    RegDeleteTreeW(root, (std::wstring(kClassesKey) + progId).c_str());
}

}  // namespace

bool ProgIdResolves(const wchar_t* progId, const wchar_t* clsid) {
    CLSID found{};
    CLSID expected{};
    return SUCCEEDED(CLSIDFromProgID(progId, &found)) &&
           SUCCEEDED(CLSIDFromString(clsid, &expected)) && IsEqualCLSID(found, expected);
}

bool RegisterServer(const wchar_t* progId, const wchar_t* clsid, const std::wstring& file) {
    if (WriteRegistration(HKEY_CURRENT_USER, progId, clsid, file) &&
        ProgIdResolves(progId, clsid)) {
        return true;
    }
    RemoveRegistration(HKEY_CURRENT_USER, progId, clsid);
    return WriteRegistration(HKEY_LOCAL_MACHINE, progId, clsid, file) &&
           ProgIdResolves(progId, clsid);
}

void UnregisterServer(const wchar_t* progId, const wchar_t* clsid) {
    RemoveRegistration(HKEY_CURRENT_USER, progId, clsid);
    RemoveRegistration(HKEY_LOCAL_MACHINE, progId, clsid);
}

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/"));
}

}  // namespace melvane::testing

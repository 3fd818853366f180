#include <windows.h>

#include <atomic>
#include <cwchar>
#include <string>

#include "platform/temp_folder.h"

namespace melvane {
namespace {

bool RemoveTreeW(const std::wstring& folder) {
    bool removed = true;
    WIN32_FIND_DATAW entry{};
    const HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring full = folder + L"\\" + name;
            const DWORD attributes = entry.dwFileAttributes;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                removed = DeleteFileW(full.c_str()) != FALSE && removed;
            } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                // A junction or directory link: remove the link, never what it points to.
                removed = RemoveDirectoryW(full.c_str()) != FALSE && removed;
            } else {
                removed = RemoveTreeW(full) && removed;
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return RemoveDirectoryW(folder.c_str()) != FALSE && removed;
}

std::wstring UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    LARGE_INTEGER ticks{};
    QueryPerformanceCounter(&ticks);
    wchar_t text[64];
    std::swprintf(text, 64, L"%lx%llx%x", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long long>(ticks.QuadPart & 0xFFFFFFFFll),
                  counter.fetch_add(1));
    return text;
}

}  // namespace

std::filesystem::path TemporaryDirectory() {
    wchar_t shortForm[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, shortForm);
    if (length == 0 || length > MAX_PATH) {
        return std::filesystem::path(L".");
    }
    // GetTempPathW may give an 8.3 form (C:\Users\MARTIN~1\...); messages and comparisons want
    // the long one.
    std::wstring longForm(shortForm);
    const DWORD needed = GetLongPathNameW(shortForm, nullptr, 0);
    if (needed != 0) {
        std::wstring buffer(needed, L'\0');
        const DWORD written = GetLongPathNameW(shortForm, buffer.data(), needed);
        if (written != 0 && written < needed) {
            buffer.resize(written);
            longForm = std::move(buffer);
        }
    }
    // Without the trailing separator, so that it compares equal to a folder's parent_path().
    std::filesystem::path folder(longForm);
    if (!folder.has_filename() && folder.has_relative_path()) {
        folder = folder.parent_path();
    }
    return folder;
}

bool RemoveTree(const std::filesystem::path& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return RemoveDirectoryW(folder.c_str()) != FALSE;
    }
    return RemoveTreeW(folder.wstring());
}

TempFolder::TempFolder(std::string_view prefix, const std::filesystem::path& parent) {
    const std::wstring widePrefix(prefix.begin(), prefix.end());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = parent / (widePrefix + L"-" + UniqueSuffix());
        // The user's temporary directory is private to the user; the new folder inherits that.
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = std::move(candidate);
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return;
        }
    }
}

}  // namespace melvane

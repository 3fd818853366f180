#include <windows.h>

#include <atomic>
#include <cwchar>
#include <string>

#include "platform/file_system.h"
#include "platform/utf.h"

namespace melvane {
namespace {

class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (IsValid()) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

  private:
    HANDLE handle_;
};

// Follows links: the handle is to the file a link leads to.
HANDLE OpenForIdentity(const std::filesystem::path& path) {
    return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::wstring FullPath(const std::filesystem::path& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path.wstring();
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    full.resize(length < needed ? length : 0);
    return full;
}

// Names on Windows ignore case: compare the full forms as the file system does.
bool SamePathText(const std::filesystem::path& a, const std::filesystem::path& b) {
    const std::wstring first = FullPath(a);
    const std::wstring second = FullPath(b);
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

std::wstring UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    wchar_t text[64];
    std::swprintf(text, 64, L"%lx%llx%x", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long long>(GetTickCount64() & 0xFFFFFFull),
                  counter.fetch_add(1));
    return text;
}

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::u16string PathToText(const std::filesystem::path& path) {
    const std::wstring& native = path.native();
    return std::u16string(native.begin(), native.end());
}

std::filesystem::path PathFromText(std::u16string_view text) {
    return std::filesystem::path(std::wstring(text.begin(), text.end()));
}

// Windows hands names over as UTF-16, which needs no locale.
Utf8TextScope::Utf8TextScope() = default;
Utf8TextScope::~Utf8TextScope() = default;

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    const Handle first(OpenForIdentity(a));
    const Handle second(OpenForIdentity(b));
    if (first.IsValid() && second.IsValid()) {
        BY_HANDLE_FILE_INFORMATION one{};
        BY_HANDLE_FILE_INFORMATION two{};
        if (GetFileInformationByHandle(first.Get(), &one) &&
            GetFileInformationByHandle(second.Get(), &two)) {
            return one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
                   one.nFileIndexHigh == two.nFileIndexHigh &&
                   one.nFileIndexLow == two.nFileIndexLow;
        }
    }
    // One of them cannot be opened (it may be locked): judge by the names, without case.
    return (first.IsValid() || second.IsValid()) && SamePathText(a, b);
}

AtomicFile::AtomicFile(const std::filesystem::path& destination) : destination_(destination) {
    if (destination.empty() || !destination.has_filename()) {
        return;
    }
    const std::filesystem::path folder =
        destination.has_parent_path() ? destination.parent_path() : std::filesystem::path(L".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate =
            folder / (L"." + destination.filename().wstring() + L"." + UniqueSuffix() + L".tmp");
        const HANDLE file = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            temporary_ = std::move(candidate);
            handle_ = reinterpret_cast<std::intptr_t>(file);
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return;
        }
    }
}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (!IsOpen() || failed_) {
        return false;
    }
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(AsHandle(handle_), bytes, chunk, &written, nullptr) || written == 0) {
            failed_ = true;
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

bool AtomicFile::Commit() {
    if (!IsOpen() || failed_) {
        Discard();
        return false;
    }
    const bool flushed = FlushFileBuffers(AsHandle(handle_)) != FALSE;
    const bool closed = CloseHandle(AsHandle(handle_)) != FALSE;
    handle_ = kClosed;
    if (!flushed || !closed ||
        !MoveFileExW(temporary_.c_str(), destination_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void AtomicFile::Discard() {
    if (IsOpen()) {
        CloseHandle(AsHandle(handle_));
        handle_ = kClosed;
    }
    if (!temporary_.empty()) {
        DeleteFileW(temporary_.c_str());
        temporary_.clear();
    }
}

}  // namespace melvane

#include <windows.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <system_error>

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

std::wstring UniqueName() {
    static std::atomic<unsigned> counter{0};
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const auto ticks = static_cast<unsigned long long>(now.QuadPart);
    const unsigned mixed = static_cast<unsigned>(ticks ^ (ticks >> 32)) * 2654435761u ^
                           static_cast<unsigned>(GetCurrentProcessId()) << 16 ^
                           counter.fetch_add(1);
    wchar_t text[32];
    std::swprintf(text, 32, L".mv%08x.tmp", mixed);
    return text;
}

// Temporary files still open, for the console handler (Ctrl-C, Ctrl-Break, closing the console,
// log-off): the files are opened with FILE_SHARE_DELETE, so deleting them there takes effect when
// the process ends.
constexpr int kCleanupSlots = 16;
struct CleanupSlot {
    std::atomic<bool> claimed{false};
    std::atomic<bool> used{false};
    wchar_t path[4096];
};
CleanupSlot cleanupSlots[kCleanupSlots];

BOOL WINAPI RemoveTemporaryFiles(DWORD) {
    for (CleanupSlot& slot : cleanupSlots) {
        if (slot.used.load(std::memory_order_acquire)) {
            DeleteFileW(slot.path);
        }
    }
    return FALSE;  // the system's own reaction follows: the process ends
}

int RegisterForCleanup(const std::filesystem::path& path) {
    const std::wstring& text = path.native();
    if (text.size() >= sizeof(CleanupSlot::path) / sizeof(wchar_t)) {
        return -1;
    }
    static std::once_flag once;
    std::call_once(once, [] { SetConsoleCtrlHandler(RemoveTemporaryFiles, TRUE); });
    for (int i = 0; i < kCleanupSlots; ++i) {
        CleanupSlot& slot = cleanupSlots[i];
        bool expected = false;
        if (slot.claimed.compare_exchange_strong(expected, true)) {
            std::memcpy(slot.path, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
            slot.used.store(true, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void ForgetForCleanup(int index) {
    if (index >= 0) {
        cleanupSlots[index].used.store(false, std::memory_order_release);
        cleanupSlots[index].claimed.store(false, std::memory_order_release);
    }
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

std::FILE* OpenForReading(const std::filesystem::path& path) {
    return _wfopen(path.c_str(), L"rb");
}

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
        error_ = ERROR_INVALID_NAME;
        return;
    }
    // No Windows path holds more; the system would only say the folder is not found.
    constexpr std::size_t kLongestPath = 32767;
    if (destination.native().size() > kLongestPath) {
        error_ = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    const std::filesystem::path folder =
        destination.has_parent_path() ? destination.parent_path() : std::filesystem::path(L".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = folder / UniqueName();
        const HANDLE file = CreateFileW(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            temporary_ = std::move(candidate);
            handle_ = reinterpret_cast<std::intptr_t>(file);
            cleanupSlot_ = RegisterForCleanup(temporary_);
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            error_ = static_cast<int>(error);
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
            error_ = static_cast<int>(GetLastError());
            failed_ = true;
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

bool AtomicFile::Seek(std::uint64_t offset) {
    if (!IsOpen() || failed_) {
        return false;
    }
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN)) {
        error_ = static_cast<int>(GetLastError());
        failed_ = true;
        return false;
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
        error_ = static_cast<int>(GetLastError());
        Discard();
        return false;
    }
    ForgetForCleanup(cleanupSlot_);
    cleanupSlot_ = -1;
    temporary_.clear();
    return true;
}

std::string AtomicFile::LastErrorText() const {
    return error_ == 0 ? std::string() : std::error_code(error_, std::system_category()).message();
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
    ForgetForCleanup(cleanupSlot_);
    cleanupSlot_ = -1;
}

}  // namespace melvane

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>

#include "platform/file_system.h"
#include "platform/utf.h"

namespace melvane {
namespace {

// Not a secret, only unlikely to repeat: O_EXCL decides, and a clash just tries the next name.
std::string UniqueName() {
    static std::atomic<unsigned> counter{0};
    const auto now = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    const unsigned mixed = static_cast<unsigned>(now ^ (now >> 32)) * 2654435761u ^
                           static_cast<unsigned>(getpid()) << 16 ^ counter.fetch_add(1);
    char text[32];
    std::snprintf(text, sizeof text, ".mv%08x.tmp", mixed);
    return text;
}

// Temporary files still open, for the signal handlers: fixed slots, so that the handler only
// reads memory that is always there.
constexpr int kCleanupSlots = 16;
struct CleanupSlot {
    std::atomic<bool> claimed{false};
    std::atomic<bool> used{false};
    char path[4096];
};
CleanupSlot cleanupSlots[kCleanupSlots];
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveTemporaryFilesAndDie(int signal) {
    for (CleanupSlot& slot : cleanupSlots) {
        if (slot.used.load(std::memory_order_acquire)) {
            unlink(slot.path);
        }
    }
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// Handlers only where the program has not chosen its own reaction.
void InstallCleanupHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : kCleanupSignals) {
            struct sigaction current {};
            if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
                !(current.sa_flags & SA_SIGINFO)) {
                struct sigaction handler {};
                handler.sa_handler = RemoveTemporaryFilesAndDie;
                sigemptyset(&handler.sa_mask);
                sigaction(signal, &handler, nullptr);
            }
        }
    });
}

int RegisterForCleanup(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() >= sizeof(CleanupSlot::path)) {
        return -1;
    }
    InstallCleanupHandlers();
    for (int i = 0; i < kCleanupSlots; ++i) {
        CleanupSlot& slot = cleanupSlots[i];
        bool expected = false;
        // Claimed before it is filled, published after: the handler never sees half a name.
        if (slot.claimed.compare_exchange_strong(expected, true)) {
            std::memcpy(slot.path, text.c_str(), text.size() + 1);
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

}  // namespace

std::u16string PathToText(const std::filesystem::path& path) {
    return DecodeUtf8Lossless(path.native());
}

std::filesystem::path PathFromText(std::u16string_view text) {
    return std::filesystem::path(EncodeUtf8Lossless(text));
}

std::FILE* OpenForReading(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "rb");
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    struct stat first {};
    struct stat second {};
    if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) {
        return false;
    }
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

AtomicFile::AtomicFile(const std::filesystem::path& destination) : destination_(destination) {
    if (destination.empty() || !destination.has_filename()) {
        error_ = ENOENT;
        return;
    }
    const std::filesystem::path folder =
        destination.has_parent_path() ? destination.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = folder / UniqueName();
        const int fd =
            open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            temporary_ = std::move(candidate);
            handle_ = fd;
            cleanupSlot_ = RegisterForCleanup(temporary_);
            break;
        }
        if (errno != EEXIST) {
            error_ = errno;
            return;
        }
    }
    // A file that is replaced keeps its permissions; a new one gets the umask's.
    struct stat existing {};
    if (IsOpen() && stat(destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        fchmod(static_cast<int>(handle_), existing.st_mode & 07777);
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
        const ssize_t written = write(static_cast<int>(handle_), bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error_ = errno;
            failed_ = true;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool AtomicFile::Seek(std::uint64_t offset) {
    if (!IsOpen() || failed_) {
        return false;
    }
    if (lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) < 0) {
        error_ = errno;
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
    // On disk before it gets its name, so a crash never leaves a named but empty document.
    const bool synced = fsync(static_cast<int>(handle_)) == 0;
    if (!synced) {
        error_ = errno;
    }
    const bool closed = close(static_cast<int>(handle_)) == 0;
    if (synced && !closed) {
        error_ = errno;
    }
    handle_ = kClosed;
    if (!synced || !closed || rename(temporary_.c_str(), destination_.c_str()) != 0) {
        if (synced && closed) {
            error_ = errno;
        }
        Discard();
        return false;
    }
    ForgetForCleanup(cleanupSlot_);
    cleanupSlot_ = -1;
    temporary_.clear();
    return true;
}

std::string AtomicFile::LastErrorText() const {
    return error_ == 0 ? std::string() : std::error_code(error_, std::generic_category()).message();
}

void AtomicFile::Discard() {
    if (IsOpen()) {
        close(static_cast<int>(handle_));
        handle_ = kClosed;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
    ForgetForCleanup(cleanupSlot_);
    cleanupSlot_ = -1;
}

}  // namespace melvane

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "platform/file_system.h"
#include "platform/utf.h"

namespace melvane {
namespace {

// Not a secret, only unlikely to repeat: O_EXCL decides, and a clash just tries the next name.
std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    const auto now = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    char text[64];
    std::snprintf(text, sizeof text, "%lx%llx%x", static_cast<unsigned long>(getpid()),
                  now & 0xFFFFFFull, counter.fetch_add(1));
    return text;
}

}  // namespace

std::u16string PathToText(const std::filesystem::path& path) {
    return DecodeUtf8Lossless(path.native());
}

std::filesystem::path PathFromText(std::u16string_view text) {
    return std::filesystem::path(EncodeUtf8Lossless(text));
}

Utf8TextScope::Utf8TextScope() {
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8 == static_cast<locale_t>(0)) {
        return;
    }
    utf8_ = utf8;
    previous_ = uselocale(utf8);
}

Utf8TextScope::~Utf8TextScope() {
    if (utf8_ != nullptr) {
        uselocale(static_cast<locale_t>(previous_));
        freelocale(static_cast<locale_t>(utf8_));
    }
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
        return;
    }
    const std::filesystem::path folder =
        destination.has_parent_path() ? destination.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate =
            folder / ("." + destination.filename().native() + "." + UniqueSuffix() + ".tmp");
        const int fd =
            open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            temporary_ = std::move(candidate);
            handle_ = fd;
            break;
        }
        if (errno != EEXIST) {
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
            failed_ = true;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
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
    const bool closed = close(static_cast<int>(handle_)) == 0;
    handle_ = kClosed;
    if (!synced || !closed || rename(temporary_.c_str(), destination_.c_str()) != 0) {
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
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
}

}  // namespace melvane

// File-system help the document paths need and that differs between systems.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/utf.h"

namespace melvane {

// A path as the user reads it in a message.
std::u16string PathToText(const std::filesystem::path& path);
std::filesystem::path PathFromText(std::u16string_view text);

// True when both paths lead to the same existing file: links are followed, and where the system
// ignores the case of names, so does the comparison. False when either does not exist.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The file opened for reading bytes, by its full name on every system; nullptr when it cannot
// be (errno says why).
std::FILE* OpenForReading(const std::filesystem::path& path);

// A file that appears under its name only when it is complete. It is written under a short
// temporary name (".mv" and eight hex digits) in the destination's folder, which fits beside any
// name the folder can hold, and moved over the destination by Commit(); until then any file of
// that name stays as it was. A file never committed is removed again, also when the process is
// ended by Ctrl-C, SIGTERM or the closing of its console.
class AtomicFile {
  public:
    explicit AtomicFile(const std::filesystem::path& destination);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool IsOpen() const { return handle_ != kClosed; }
    bool Write(const void* data, std::size_t size);
    // Moves the write position; writing there overwrites what was written before.
    bool Seek(std::uint64_t offset);
    // Flushes, closes and moves the file into place. False (and the file removed) on any failure.
    bool Commit();

    const std::filesystem::path& TemporaryPath() const { return temporary_; }
    // The system's code for the last failure (errno, or GetLastError on Windows), and its text.
    int LastError() const { return error_; }
    std::string LastErrorText() const;

  private:
    static constexpr std::intptr_t kClosed = -1;
    void Discard();

    std::filesystem::path destination_;
    std::filesystem::path temporary_;
    std::intptr_t handle_ = kClosed;  // a descriptor or a HANDLE, by system
    int cleanupSlot_ = -1;            // where the signal handlers find the temporary name
    int error_ = 0;
    bool failed_ = false;
};

}  // namespace melvane

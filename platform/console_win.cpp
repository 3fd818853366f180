#include <windows.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <streambuf>

#include "platform/console.h"

namespace melvane {
namespace {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode);
}

bool WriteConsoleText(HANDLE console, std::u16string_view text) {
    while (!text.empty()) {
        // WriteConsoleW has a limit per call on older systems; stay well below it.
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 8192));
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

// A stream buffer whose bytes (UTF-8) reach the console as UTF-16.
class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    ~ConsoleBuffer() override {
        sync();
        WriteConsoleText(console_, decoder_.Finish());
    }

  protected:
    int_type overflow(int_type c) override {
        if (sync() != 0) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return WriteConsoleText(console_, decoder_.Decode(pending)) ? 0 : -1;
    }

  private:
    HANDLE console_;
    Utf8PieceDecoder decoder_;
    std::array<char, 4096> buffer_{};
};

}  // namespace

struct ConsoleStreams::Installed {
    ConsoleBuffer* out = nullptr;
    ConsoleBuffer* err = nullptr;
    std::streambuf* previousOut = nullptr;
    std::streambuf* previousErr = nullptr;
};

ConsoleStreams::ConsoleStreams() : installed_(new Installed) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (IsConsole(out)) {
        std::cout.flush();
        installed_->out = new ConsoleBuffer(out);
        installed_->previousOut = std::cout.rdbuf(installed_->out);
    }
    if (IsConsole(err)) {
        installed_->err = new ConsoleBuffer(err);
        installed_->previousErr = std::cerr.rdbuf(installed_->err);
    }
}

ConsoleStreams::~ConsoleStreams() {
    if (installed_->out != nullptr) {
        std::cout.flush();
        std::cout.rdbuf(installed_->previousOut);
        delete installed_->out;
    }
    if (installed_->err != nullptr) {
        std::cerr.flush();
        std::cerr.rdbuf(installed_->previousErr);
        delete installed_->err;
    }
    delete installed_;
}

bool WriteStandardOutput(std::string_view utf8) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        // A window program started from a console has none of its own: borrow the parent's.
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
            return false;
        }
        out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            return false;
        }
    }
    if (IsConsole(out)) {
        Utf8PieceDecoder decoder;
        return WriteConsoleText(out, decoder.Decode(utf8) + decoder.Finish());
    }
    DWORD written = 0;
    return WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) &&
           written == utf8.size();
}

}  // namespace melvane

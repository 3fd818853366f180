// Text for the standard streams. A Windows console shows UTF-16 given to WriteConsoleW, whatever
// its code page; a file or a pipe gets the UTF-8 bytes as they are.
#pragma once

#include <string>
#include <string_view>

namespace melvane {

// UTF-8 arriving in pieces (a stream buffer's flushes) turned into UTF-16. A sequence cut at
// the end of a piece is held back until the rest arrives; malformed bytes become U+FFFD.
class Utf8PieceDecoder {
  public:
    std::u16string Decode(std::string_view piece);
    // What is still held back, as U+FFFD: the stream ended inside a sequence.
    std::u16string Finish();

  private:
    std::string pending_;
};

// While it lives, std::cout and std::cerr write to the console with WriteConsoleW where they are
// attached to one; elsewhere (redirected, or not Windows) nothing changes.
class ConsoleStreams {
  public:
    ConsoleStreams();
    ~ConsoleStreams();
    ConsoleStreams(const ConsoleStreams&) = delete;
    ConsoleStreams& operator=(const ConsoleStreams&) = delete;

  private:
    struct Installed;
    Installed* installed_ = nullptr;
};

// Writes UTF-8 text to standard output: to the console as UTF-16, else as bytes. For a program
// without a console window of its own (Melvane.exe --version) it attaches to its parent's.
// False when there is nowhere to write.
bool WriteStandardOutput(std::string_view utf8);

}  // namespace melvane

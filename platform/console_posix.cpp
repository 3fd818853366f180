#include <cstdio>

#include "platform/console.h"

namespace melvane {

struct ConsoleStreams::Installed {};

// A terminal here takes UTF-8 as it is.
ConsoleStreams::ConsoleStreams() = default;
ConsoleStreams::~ConsoleStreams() = default;

bool WriteStandardOutput(std::string_view utf8) {
    return std::fwrite(utf8.data(), 1, utf8.size(), stdout) == utf8.size() &&
           std::fflush(stdout) == 0;
}

}  // namespace melvane

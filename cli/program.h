// melvane-cli as a whole. The platform's entry point (main_posix.cpp, main_win.cpp) hands it the
// arguments as UTF-8 after preparing the standard streams.
#pragma once

#include <string>
#include <vector>

namespace melvane::cli {

// `args` excludes the program name. Returns the exit status.
int RunProgram(const std::vector<std::string>& args);

}  // namespace melvane::cli

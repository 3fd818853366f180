// The floor both package benchmarks compare against: what unzip followed by zip does.
#pragma once

#include <filesystem>

namespace melvane::bench {

// Every entry of `source` inflated into a folder, then each file deflated at the library's
// default level into `output` (mimetype stored) and synced to disk, as the transposition's
// output is before it gets its name.
bool UnpackAndRepackOnce(const std::filesystem::path& source, const std::filesystem::path& output);

}  // namespace melvane::bench

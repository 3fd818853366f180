// The output name proposed for a source document.
#pragma once

#include <cstdint>
#include <filesystem>

namespace melvane::cli {

// Beside the source: its folder, its name without extension, a marker for the step ("_" for
// 0, "+3", "-2") and its extension in lower case. "Songs/Hymn.DOCX" at +3 gives
// "Songs/Hymn+3.docx".
std::filesystem::path ProposeOutputPath(const std::filesystem::path& source, std::int64_t steps);

// The extension without its dot, in lower case ASCII: "odt" for "Song.ODT".
std::string LowerCaseExtension(const std::filesystem::path& path);

}  // namespace melvane::cli

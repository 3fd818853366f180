// A text or ChordPro song sheet transposed from file to file, in the encoding, byte order mark
// and line ends it came with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "chords/note_table.h"
#include "chords/sheet.h"

namespace melvane {

// Larger texts are refused before they are read.
inline constexpr std::uint64_t kTextSizeLimit = std::uint64_t{256} << 20;

enum class TextFailure {
    None,
    SourceUnreadable,  // missing, or the system could not read it (reason: the system's text)
    NotText,           // NUL bytes without a UTF-16 byte order mark: not a text sheet
    TooLarge,          // over kTextSizeLimit
    OutputNotCreated,  // reason: the system's text
};

struct TextDocumentResult {
    TextFailure failure = TextFailure::None;
    std::string reason;
    bool written = false;
    std::size_t changed = 0;
};

// .cho, .crd, .chopro, .chordpro, .chord and .pro are ChordPro whatever their lines show.
bool IsChordProName(const std::filesystem::path& path);

// Writes a transposed copy of `source` to `output`, complete or not at all; an empty source
// gives an empty copy.
TextDocumentResult TransposeTextDocument(const std::filesystem::path& source,
                                         const std::filesystem::path& output,
                                         const NoteTable& notes, const TransposeSettings& settings);

// Every line, for showing the sheet; false (with the failure) when it cannot be read as one.
TextFailure ReadTextDocumentLines(const std::filesystem::path& source,
                                  std::vector<std::u16string>& lines);

}  // namespace melvane

// An OpenDocument song sheet transposed end to end: content.xml read from the package into
// memory, its text transposed, and the package written under the output name with every other
// entry copied as it was.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "chords/note_table.h"
#include "chords/sheet.h"
#include "odt/odt_content.h"
#include "odt/xml_reader.h"

namespace melvane {

enum class OdtFailure {
    None,
    SourceUnreadable,  // missing, not a zip, hostile or damaged entries, content over the cap
    ContentBroken,     // content.xml does not parse: nothing written
    OutputNotCreated,  // the output could not be created or written
};

struct OdtResult {
    bool outputWritten = false;
    OdtFailure failure = OdtFailure::None;
    std::string reason;          // the package library's or the system's, when it gave one
    XmlParseError parseError;    // with ContentBroken
    // Transposed, or Missing when there was no text to transpose.
    ContentStatus content = ContentStatus::Missing;
    std::size_t piecesChanged = 0;

    bool Succeeded() const { return outputWritten; }
};

// Writes a transposed copy of `source` to `output`. Nothing is written when the run fails, and
// an existing file at `output` is only ever replaced by a complete document.
OdtResult TransposeOdtDocument(const std::filesystem::path& source,
                               const std::filesystem::path& output, const NoteTable& notes,
                               const TransposeSettings& settings);

}  // namespace melvane

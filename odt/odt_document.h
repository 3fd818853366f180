// An OpenDocument song sheet transposed end to end: content.xml read from the package into
// memory, its text transposed, and the package written under the output name with every other
// entry copied as it was; then the output is opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "chords/note_table.h"
#include "odt/odt_content.h"
#include "platform/shell.h"
#include "platform/user_messages.h"

namespace melvane {

struct OdtSettings {
    const NoteTable& notes;
    std::int64_t steps = 0;
    int spelling = 0;  // 0 sharps, 1 flats
    Language language = Language::English;
    bool openOutput = true;  // open the written document with its default application
};

enum class OdtFailure {
    None,
    SameFile,          // the output would replace the source
    SourceUnreadable,  // missing, not a zip, hostile or damaged entries, content over the cap
    ContentBroken,     // content.xml does not parse: nothing written
    OutputNotCreated,  // the output could not be created or written
};

struct OdtResult {
    bool outputWritten = false;
    OdtFailure failure = OdtFailure::None;
    // Transposed, or Missing when there was no text to transpose.
    ContentStatus content = ContentStatus::Missing;
    std::size_t piecesChanged = 0;

    bool Succeeded() const { return outputWritten; }
};

// Writes a transposed copy of `source` to `output`. Every failure is shown through `messages`
// in the settings' language where it happens, with the library's or system's reason on a line
// of its own; nothing is written when the run fails, and an existing file at `output` is only
// ever replaced by a complete document.
OdtResult TransposeOdtDocument(const std::filesystem::path& source,
                               const std::filesystem::path& output, const OdtSettings& settings,
                               UserMessages& messages, Shell& shell);

}  // namespace melvane

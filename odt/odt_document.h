// An OpenDocument song sheet transposed end to end: unpacked into a private work folder, its
// text transposed, packed again under the output name, and opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "chords/note_table.h"
#include "odt/odt_container.h"
#include "odt/odt_content.h"
#include "platform/shell.h"
#include "platform/user_messages.h"

namespace melvane {

struct OdtSettings {
    const NoteTable& notes;
    TransposeSettings transpose;
    Language language = Language::English;
    bool openOutput = true;  // open the written document with its default application
    ExtractLimits limits = {};
};

enum class OdtFailure {
    None,
    SameFile,          // the output would replace the source
    SourceUnreadable,  // not a zip, truncated, or broken inside
    UnsafeEntry,       // an entry name pointing outside the work folder
    TooLarge,          // unpacks to more than the limits allow
    OutputNotCreated,  // no work folder, or the output could not be written
};

struct OdtResult {
    bool outputWritten = false;
    OdtFailure failure = OdtFailure::None;
    // Transposed, or Missing when there was no text to transpose; ParseError when the copy
    // was written unchanged because content.xml is broken.
    ContentStatus content = ContentStatus::Missing;
    std::size_t piecesChanged = 0;

    bool Succeeded() const { return outputWritten && content != ContentStatus::ParseError; }
};

// Writes a transposed copy of `source` to `output`. Every failure is shown through `messages`
// in the settings' language where it happens; nothing is written when the run fails, and an
// existing file at `output` is only ever replaced by a complete document.
OdtResult TransposeOdtDocument(const std::filesystem::path& source,
                               const std::filesystem::path& output, const OdtSettings& settings,
                               UserMessages& messages, Shell& shell);

}  // namespace melvane

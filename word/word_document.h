// A Word song sheet (.doc, .docx) transposed by remote-controlling an installed Microsoft Word:
// Word opens the document, each paragraph is read, transposed and written back where it
// changed, and Word saves the copy under the output name and quits. Windows only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "chords/note_table.h"
#include "chords/sheet.h"

namespace melvane {

enum class WordFailure {
    None,
    NotStarted,  // Word could not be created
    NotOpened,   // Word could not open the source
    NotRead,     // Word did not say how many paragraphs there are
    NotSaved,    // Word could not save the copy
};

struct WordResult {
    bool saved = false;  // the document was processed and saved
    WordFailure failure = WordFailure::None;
    std::uint32_t errorCode = 0;  // with a failure: the automation layer's HRESULT
    std::u16string errorText;     // and its account of what went wrong
    std::u16string outputPath;   // where the copy was saved (or was to be)
    std::size_t paragraphs = 0;  // as Word counted them
    std::size_t changed = 0;     // written back transposed
    std::size_t failed = 0;      // could not be read or written back; left as they were
};

// Transposes `sourcePath` into a copy at `outputPath` (for an empty one, the source's name with
// "_NEU" before the extension). Relative paths are taken from this process's working folder.
// The source is never changed; Word is ended and every object released on every path.
WordResult TransposeWordDocument(const std::u16string& sourcePath, const std::u16string& outputPath,
                                 const NoteTable& notes, const TransposeSettings& settings);

}  // namespace melvane

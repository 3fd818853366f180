// melvane-cli FILE...: documents transposed into new files, one summary line each.
#pragma once

#include <ostream>

#include "chords/note_table.h"
#include "cli/options.h"
#include "platform/shell.h"
#include "platform/user_messages.h"

namespace melvane::cli {

// Transposes each of `options.files`, prints one line per document to `out` and returns the
// exit status: 0 when every document was written transposed, 1 when any was not. Messages
// about failures go through `messages` in `language`.
int RunDocumentMode(const NoteTable& notes, const Options& options, Language language,
                    UserMessages& messages, Shell& shell, std::ostream& out);

// Prints each stretch's key of each of `options.files`, one line each ("Song.odt: 1: G major
// (declared)"); 1 when any cannot be read.
int RunKeyMode(const NoteTable& notes, const Options& options, Language language,
               UserMessages& messages, Shell& shell, std::ostream& out);

// Prints the paragraphs of each of `options.files`; 1 when any cannot be read (said to `err` in
// `language`).
int RunPrintMode(const Options& options, Language language, std::ostream& out, std::ostream& err);

}  // namespace melvane::cli

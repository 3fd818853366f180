// Word documents (.doc, .docx) given to melvane-cli. Only Windows has Microsoft Word to drive;
// elsewhere each one gets a line saying so.
#pragma once

#include <ostream>
#include <string>

#include "chords/note_table.h"
#include "cli/options.h"
#include "platform/shell.h"
#include "platform/user_messages.h"

namespace melvane::cli {

// Transposes the Word document `file` as the options say and prints its one summary line to
// `out`. True when the copy was written with every paragraph Word handed over.
bool TransposeWordSheet(const NoteTable& notes, const Options& options, const std::string& file,
                        Language language, UserMessages& messages, Shell& shell, std::ostream& out);

}  // namespace melvane::cli

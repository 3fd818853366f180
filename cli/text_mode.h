// melvane-cli --text: a filter from standard input to standard output.
#pragma once

#include <istream>
#include <ostream>

#include "chords/note_table.h"

namespace melvane::cli {

// Transposes `in` line by line (each line with its line ending is one piece of text) into
// `out`. Bytes that are not valid UTF-8 come out unchanged. False when writing failed.
bool RunTextMode(const NoteTable& table, std::istream& in, std::ostream& out, int steps,
                 int spelling);

}  // namespace melvane::cli

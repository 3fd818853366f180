// melvane-cli --text: a filter from standard input to standard output.
#pragma once

#include <istream>
#include <ostream>

#include "chords/note_table.h"
#include "chords/sheet.h"

namespace melvane::cli {

// Transposes `in` into `out` as a text sheet is transposed (its encoding, byte order mark and
// line ends kept; ChordPro by its structure). False when writing failed.
//
// Sheet-aware: the whole input is read first and learned line by line, then every line is
// transposed. Classic: streamed, each line transposed and written as it arrives.
bool RunTextMode(const NoteTable& table, std::istream& in, std::ostream& out,
                 const TransposeSettings& settings);

}  // namespace melvane::cli

// melvane-cli --text: a filter from standard input to standard output.
#pragma once

#include <istream>
#include <ostream>

#include "chords/note_table.h"
#include "chords/sheet.h"
#include "cli/options.h"

namespace melvane::cli {

// Transposes `in` into `out` as a text sheet is transposed (its encoding, byte order mark and
// line ends kept; ChordPro by its structure). False when writing failed.
//
// Sheet-aware: the whole input is read first and learned line by line, then every line is
// transposed. Classic: streamed, each line transposed and written as it arrives.
bool RunTextMode(const NoteTable& table, std::istream& in, std::ostream& out,
                 const TransposeSettings& settings);

// melvane-cli --text as `options` ask: transposed by --steps, or to --to-key's key (the input
// read whole first), or with --key each stretch's key printed instead. Returns the exit
// status; problems are said to `err` in `language`.
int RunTextFilter(const NoteTable& table, std::istream& in, std::ostream& out, std::ostream& err,
                  const Options& options, Language language);

// Each stretch's key as melvane-cli --key prints it: "N: G major (declared)", after `prefix`.
void PrintKeys(const KeyReport& keys, std::string_view prefix, Language language,
               std::ostream& out);

// The steps --to-key asks for from the first stretch's key; nothing (said to `err`, naming
// `file`) when the sheet has no key or the named key is of the other mode.
std::optional<int> StepsForKey(const KeyReport& keys, const Options& options, std::string_view file,
                               Language language, std::ostream& err);

}  // namespace melvane::cli

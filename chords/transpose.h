// Moves every chord symbol in a piece of text by a number of semitones.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "chords/note_table.h"

namespace melvane {

// The pitch class (0 = C) that `pitch` lands on after moving `steps` semitones. `pitch` may lie
// up to an octave either side (a sheet's "Ces" is -1, its "His" 12); steps of any size are taken.
constexpr int ShiftPitch(int pitch, std::int64_t steps) {
    return (pitch + static_cast<int>(steps % 12) + 24) % 12;
}

// The row a note lands on after moving `steps` semitones. "B" (row 13) moves as "H", so the
// result is always one of the twelve pitch-class rows 1..12.
int ShiftNoteIndex(int row, std::int64_t steps);

// Finds every token of `text` that ends in a chord symbol the table recognises and rewrites its
// note name, moved by `steps` semitones, in the spelling column `spelling` (0 sharps, 1 flats;
// anything above 1 counts as flats). All other characters are kept as they are; a text without
// a recognised chord comes back unchanged.
//
// A lone "A" followed by more words on the same line is the English article, not a chord: when
// the next unrecognised token shows that, the "A" token is put back exactly as it stood.
std::u16string TransposeText(const NoteTable& table, std::u16string_view text, std::int64_t steps,
                             int spelling);

// True for the characters that may continue a token: printable ASCII except "/", plus the
// German umlauts, so that words such as "Bär" stay one token.
constexpr bool ContinuesToken(char16_t c) {
    if (c >= 33 && c <= 126) {
        return c != u'/';
    }
    return c == u'ä' || c == u'ö' || c == u'ü' || c == u'Ä' || c == u'Ö' || c == u'Ü';
}

}  // namespace melvane

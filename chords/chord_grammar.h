// The chord grammar: whether a token is one chord symbol, and where its notes stand. Two
// grammars: the broad one reads real songbooks (German names, lower case, ♯ ♭, any run of
// suffix items, a bass); the narrow one is the classic vocabulary of the note table's names and
// kChordPatternSuffix, the only one trusted inside lyrics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "chords/characters.h"

namespace melvane::chords {

// How a note writes its accidental: "#"/"b" (also ♯ ♭), German "is"/"es" (and "As", "Es"), or
// the songbook shorthand "Cs", "Fs" for the sharps.
enum class Form : std::uint8_t { None, Sign, Suffix, Short };

// No default values: candidate arrays are filled on the hot path and only read where set.
struct Note {
    std::size_t start;  // in the token, or in the line once the token is placed
    std::uint8_t length;
    char16_t letter;  // upper case, A..H
    bool lower;
    std::int8_t accidental;  // -1, 0, +1
    Form form;
};

struct Chord {
    Note root;
    Note bass;  // set only when hasBass
    bool hasBass;
};

enum class Grammar { Broad, Narrow };

inline constexpr AsciiSet kNoteFollowers(
    u"#bies"
    u"mMda2456791+-("
    u"/)]}|.,;:*'!");

// What may stand right after a note's letter in any chord: an accidental or German suffix, the
// start of a suffix item, a bass slash, a parenthesis or trailing decoration.
constexpr bool CanFollowNoteLetter(char16_t c) {
    if (c < 0x80) {
        return kNoteFollowers(c);
    }
    return c == kSharpSign || c == kFlatSign || c == u'°' || c == u'ø';
}

// Most tokens are words that do not even start like a chord: this rejects them at a glance.
inline bool MayBeChord(std::u16string_view s, Grammar grammar) {
    if (s.empty()) {
        return false;
    }
    const char16_t first = grammar == Grammar::Broad ? Upper(s[0]) : s[0];
    return first >= u'A' && first <= u'H' && (s.size() == 1 || CanFollowNoteLetter(s[1]));
}

// ParseChord for a token that passed MayBeChord.
bool ParseChordShape(std::u16string_view s, Grammar grammar, Chord& chord);

// True when `s` (a token without its leading decoration) is one chord followed by nothing but
// trailing decoration; `chord` then holds its notes, positions relative to `s`.
inline bool ParseChord(std::u16string_view s, Grammar grammar, Chord& chord) {
    return MayBeChord(s, grammar) && ParseChordShape(s, grammar, chord);
}

}  // namespace melvane::chords

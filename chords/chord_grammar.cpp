#include "chords/chord_grammar.h"

#include <array>

#include "chords/note_table.h"

namespace melvane::chords {
namespace {

// `letters` as bits, A = bit 0.
constexpr unsigned LetterBits(std::u16string_view letters) {
    unsigned bits = 0;
    for (char16_t c : letters) {
        bits |= 1u << (c - u'A');
    }
    return bits;
}

constexpr bool IsOneOf(char16_t letter, unsigned bits) {
    return ((bits >> (letter - u'A')) & 1u) != 0;
}

// The letters the note table writes with `accidental` ("#" in the sharp column, "b" in the
// flat one): the narrow grammar knows no other accidentals.
constexpr unsigned LettersWrittenWith(char16_t accidental) {
    unsigned bits = 0;
    for (const auto& column : kNoteNames) {
        for (std::u16string_view name : column) {
            if (name.size() == 2 && name[1] == accidental) {
                bits |= 1u << (name[0] - u'A');
            }
        }
    }
    return bits;
}

constexpr unsigned kNarrowSharps = LettersWrittenWith(u'#');
constexpr unsigned kNarrowFlats = LettersWrittenWith(u'b');

// The ways a note can be read at s[i], longest first. Returns how many.
int NoteCandidates(std::u16string_view s, std::size_t i, Grammar grammar,
                   std::array<Note, 3>& out) {
    if (i >= s.size()) {
        return 0;
    }
    const char16_t c = s[i];
    const char16_t letter = Upper(c);
    if (letter < u'A' || letter > u'H') {
        return 0;
    }
    const bool lower = c != letter;
    const char16_t next = i + 1 < s.size() ? s[i + 1] : 0;
    int count = 0;
    const auto add = [&](std::uint8_t length, std::int8_t accidental, Form form) {
        out[count++] = Note{i, length, letter, lower, accidental, form};
    };
    if (grammar == Grammar::Narrow) {
        if (lower) {
            return 0;
        }
        if (next == u'#' && IsOneOf(letter, kNarrowSharps)) {
            add(2, 1, Form::Sign);
        } else if (next == u'b' && IsOneOf(letter, kNarrowFlats)) {
            add(2, -1, Form::Sign);
        }
        add(1, 0, Form::None);
        return count;
    }
    const char16_t after = i + 2 < s.size() ? s[i + 2] : 0;
    if (next == u'i' && after == u's' && letter != u'B') {
        add(3, 1, Form::Suffix);
    } else if (next == u'e' && after == u's' && IsOneOf(letter, LetterBits(u"CDFG"))) {
        add(3, -1, Form::Suffix);
    } else if (next == u's' && IsOneOf(letter, LetterBits(u"AE"))) {
        add(2, -1, Form::Suffix);
    } else if (next == u's' && IsOneOf(letter, LetterBits(u"CDFG"))) {
        add(2, 1, Form::Short);
    } else if (next == u'#' || next == kSharpSign) {
        add(2, 1, Form::Sign);
    } else if (next == u'b' || next == kFlatSign) {
        add(2, -1, Form::Sign);
    }
    add(1, 0, Form::None);
    return count;
}

// `what` stands at s[i], i <= s.size(). Compared unit by unit: the words are three or four long,
// and this runs for most suffix items.
constexpr bool StartsWith(std::u16string_view s, std::size_t i, std::u16string_view what) {
    if (s.size() - i < what.size()) {
        return false;
    }
    for (std::size_t k = 0; k < what.size(); ++k) {
        if (s[i + k] != what[k]) {
            return false;
        }
    }
    return true;
}

// The longest suffix item at s[i], 0 when none: m min mi - M maj dim ° aug + ø sus add, the
// numbers 2 4 5 6 7 9 11 13, 6/9 7/6 9/7, and the alterations b5 #5 b6 b9 #9 #11 b13 (also with
// + or -). Longest first keeps "min", "maj", "6/9" and the two-digit numbers whole.
std::size_t MatchItem(std::u16string_view s, std::size_t i) {
    if (i >= s.size()) {
        return 0;
    }
    const char16_t next = i + 1 < s.size() ? s[i + 1] : 0;
    const char16_t after = i + 2 < s.size() ? s[i + 2] : 0;
    // After an alteration sign: 5, 9, 11 or 13 (13 and 6 only flattened, 11 only raised).
    const auto alteration = [&](bool raises) -> std::size_t {
        if (next == u'5' || next == u'9' || (next == u'6' && !raises)) {
            return 2;
        }
        if (next == u'1' && after == (raises ? u'1' : u'3')) {
            return 3;
        }
        return 0;
    };
    switch (s[i]) {
        case u'm':
            if (next == u'i') {
                return after == u'n' ? 3 : 2;
            }
            return next == u'a' && after == u'j' ? 3 : 1;
        case u'M':
        case u'°':
        case u'ø':
        case u'2':
        case u'4':
        case u'5':
            return 1;
        case u'6':
            return next == u'/' && after == u'9' ? 3 : 1;
        case u'7':
            return next == u'/' && after == u'6' ? 3 : 1;
        case u'9':
            return next == u'/' && after == u'7' ? 3 : 1;
        case u'1':
            return next == u'1' || next == u'3' ? 2 : 0;
        case u'd':
            return StartsWith(s, i, u"dim") ? 3 : 0;
        case u'a':
            return StartsWith(s, i, u"aug") || StartsWith(s, i, u"add") ? 3 : 0;
        case u's':
            return StartsWith(s, i, u"sus") ? 3 : 0;
        case u'#':
            return alteration(true);
        case u'b':
            return alteration(false);
        case u'+': {
            const std::size_t length = alteration(true);
            return length > 0 ? length : 1;
        }
        case u'-': {
            const std::size_t length = alteration(false);
            return length > 0 ? length : 1;
        }
        default:
            return 0;
    }
}

// The end of a run of suffix items from s[i], none directly repeated; a parenthesised run
// counts as one item.
std::size_t SkipItems(std::u16string_view s, std::size_t i, bool inParentheses) {
    std::u16string_view previous;
    while (i < s.size()) {
        std::size_t length = 0;
        if (s[i] == u'(' && !inParentheses) {
            const std::size_t inner = SkipItems(s, i + 1, true);
            if (inner > i + 1 && inner < s.size() && s[inner] == u')') {
                length = inner + 1 - i;
            }
        } else {
            length = MatchItem(s, i);
        }
        if (length == 0) {
            break;
        }
        const std::u16string_view item = s.substr(i, length);
        if (item == previous) {
            break;
        }
        previous = item;
        i += length;
    }
    return i;
}

// kChordPatternSuffix without its slashes and space, (m)?7?(maj7)?(add[2-9])?(sus[2-9])?,
// read by hand: it runs on every lyric token that starts like a chord, where a pattern search
// would cost far more. chord_grammar_test checks it against the compiled pattern.
std::size_t SkipNarrowSuffix(std::u16string_view s, std::size_t i) {
    if (StartsWith(s, i, u"m") && !StartsWith(s, i, u"maj7")) {
        ++i;
    }
    if (StartsWith(s, i, u"7")) {
        ++i;
    }
    if (StartsWith(s, i, u"maj7")) {
        i += 4;
    }
    for (std::u16string_view word : {u"add", u"sus"}) {
        if (StartsWith(s, i, word) && i + 3 < s.size() && s[i + 3] >= u'2' && s[i + 3] <= u'9') {
            i += 4;
        }
    }
    return i;
}

// The parse itself, for a token that passed MayBeChord.
bool ReadChord(std::u16string_view s, Grammar grammar, Chord& chord) {
    std::array<Note, 3> roots;
    const int rootCount = NoteCandidates(s, 0, grammar, roots);
    for (int r = 0; r < rootCount; ++r) {
        std::size_t end = roots[r].length;
        end = grammar == Grammar::Broad ? SkipItems(s, end, false) : SkipNarrowSuffix(s, end);
        if (end < s.size() && s[end] == u'/') {
            std::array<Note, 3> basses;
            const int bassCount = NoteCandidates(s, end + 1, grammar, basses);
            for (int b = 0; b < bassCount; ++b) {
                if (OnlyTrailingDecoration(s, end + 1 + basses[b].length)) {
                    chord = {roots[r], basses[b], true};
                    return true;
                }
            }
        }
        if (OnlyTrailingDecoration(s, end)) {
            chord.root = roots[r];  // the bass stays unset
            chord.hasBass = false;
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseChordShape(std::u16string_view s, Grammar grammar, Chord& chord) {
    if (s.size() == 1) {
        // The commonest chord of all, a bare letter, read at once.
        const char16_t letter = Upper(s[0]);
        chord.root = Note{0, 1, letter, letter != s[0], 0, Form::None};
        chord.hasBass = false;
        return true;
    }
    return ReadChord(s, grammar, chord);
}

}  // namespace melvane::chords

#include "chords/sheet.h"

#include <algorithm>
#include <array>
#include <bit>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "chords/transpose.h"

namespace melvane {
namespace {

// ---- characters ---------------------------------------------------------------------------

// Spaces and tabs part tokens; a carriage return or other line-end character is never part of
// one either, so "\r" before a line feed stays with the line end.
constexpr bool IsSeparator(char16_t c) {
    // Bits 9 (tab), 10 (line feed), 11 (line tabulation), 13 (carriage return), 32 (space).
    return c <= u' ' && ((0x100002E00ull >> c) & 1u) != 0;
}

// A separator that is not a tab: tabs also divide a line into parts.
constexpr bool IsSeparatorInPart(char16_t c) {
    return c <= u' ' && ((0x100002C00ull >> c) & 1u) != 0;
}

// The first separator in [p, stop), or stop. Eight characters are looked at together where the
// processor allows: a token's end then costs no mispredicted branch per character.
inline const char16_t* FindSeparator(const char16_t* p, const char16_t* stop) {
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi16(u' ');
    while (stop - p >= 8) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // A character no greater than a space leaves nothing when the space is subtracted.
        const __m128i above = _mm_subs_epu16(chars, space);
        auto low = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi16(above, _mm_setzero_si128())));
        while (low != 0) {
            const int at = std::countr_zero(low) / 2;
            if (IsSeparator(p[at])) {
                return p + at;
            }
            low &= ~(3u << (at * 2));
        }
        p += 8;
    }
#endif
    while (p != stop && !IsSeparator(*p)) {
        ++p;
    }
    return p;
}

// A set of ASCII characters, tested by table lookup.
class AsciiSet {
  public:
    constexpr explicit AsciiSet(std::u16string_view characters) {
        for (char16_t c : characters) {
            in_[c] = true;
        }
    }
    constexpr bool operator()(char16_t c) const { return c < 128 && in_[c]; }

  private:
    std::array<bool, 128> in_{};
};

constexpr bool IsLeadingDecoration(char16_t c) {
    return c == u'(' || c == u'[' || c == u'{' || c == u'|';
}

constexpr AsciiSet kTrailingDecoration(u")]}|.,;:*'!");

constexpr bool IsTrailingDecoration(char16_t c) {
    return kTrailingDecoration(c);
}

constexpr bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Letters of any script count; punctuation, symbols (among them ♯ ♭ °) and × ÷ do not.
constexpr bool IsLetter(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
        return true;
    }
    return c >= 0xC0 && c != 0xD7 && c != 0xF7 && !(c >= 0x2000 && c < 0x2C00) &&
           !(c >= 0x3000 && c < 0x3040) && !(c >= 0xFE00 && c < 0xFF10);
}

// ASCII letters that start neither a note (A-H, either case) nor a neutral mark ("N.C.", "x2").
constexpr AsciiSet kPlainWordStarts(
    u"IJKLMOPQRSTUVWYZ"
    u"ijklmnopqrstuvwyz");

// A token starting so is a word, unless it ends in a colon (a label).
constexpr bool StartsPlainWord(char16_t c) {
    return c < 0x80 ? kPlainWordStarts(c) : IsLetter(c);
}

constexpr char16_t kSharpSign = u'\u266F';
constexpr char16_t kFlatSign = u'\u266D';

// ---- chord shapes ---------------------------------------------------------------------------

// How a note writes its accidental: "#"/"b" (also ♯ ♭), German "is"/"es" (and "As", "Es"), or
// the songbook shorthand "Cs", "Fs" for the sharps.
enum class Form : std::uint8_t { None, Sign, Suffix, Short };

// No default values: candidate arrays are filled on the hot path and only read where set.
struct Note {
    std::size_t start;  // in the line
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

// The broad grammar reads real songbooks; the narrow one is the classic vocabulary, the only
// one trusted inside lyrics.
enum class Grammar { Broad, Narrow };

constexpr char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

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
        if (next == u'#' && IsOneOf(letter, LetterBits(u"CDFGA"))) {
            add(2, 1, Form::Sign);
        } else if (next == u'b' && IsOneOf(letter, LetterBits(u"DEGAB"))) {
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

bool StartsWith(std::u16string_view s, std::size_t i, std::u16string_view what) {
    return s.substr(i, what.size()) == what;
}

// The longest suffix item at s[i], 0 when none: m min mi - M maj dim ° aug + ø sus add, the
// numbers 2 4 5 6 7 9 11 13, 6/9, and the alterations b5 #5 b9 #9 #11 b13 (also with + or -).
// Longest first keeps "min", "maj", "6/9" and the two-digit numbers whole.
std::size_t MatchItem(std::u16string_view s, std::size_t i) {
    if (i >= s.size()) {
        return 0;
    }
    const char16_t next = i + 1 < s.size() ? s[i + 1] : 0;
    const char16_t after = i + 2 < s.size() ? s[i + 2] : 0;
    // After an alteration sign: 5, 9, 11 or 13 (13 only flattened, 11 only raised).
    const auto alteration = [&](bool raises) -> std::size_t {
        if (next == u'5' || next == u'9') {
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
        case u'7':
        case u'9':
            return 1;
        case u'6':
            return next == u'/' && after == u'9' ? 3 : 1;
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

// The classic suffix: (m)?(7)?(maj7)?(add[2-9])?(sus[2-9])?
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

constexpr AsciiSet kNoteFollowers(
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

bool OnlyTrailingDecoration(std::u16string_view s, std::size_t i) {
    for (; i < s.size(); ++i) {
        if (!IsTrailingDecoration(s[i])) {
            return false;
        }
    }
    return true;
}

// True when `s` (a token without its leading decoration) is one chord followed by nothing but
// trailing decoration. Note positions come back relative to `s`.
// Most tokens are words that do not even start like a chord.
inline bool MayBeChord(std::u16string_view s, Grammar grammar) {
    if (s.empty()) {
        return false;
    }
    const char16_t first = grammar == Grammar::Broad ? Upper(s[0]) : s[0];
    return first >= u'A' && first <= u'H' && (s.size() == 1 || CanFollowNoteLetter(s[1]));
}

bool ParseChordAfterCheck(std::u16string_view s, Grammar grammar, Chord& chord) {
    if (s.size() == 1) {
        // The commonest chord of all, a bare letter, read at once.
        const char16_t letter = Upper(s[0]);
        chord.root = Note{0, 1, letter, letter != s[0], 0, Form::None};
        chord.hasBass = false;
        return true;
    }
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

inline bool ParseChord(std::u16string_view s, Grammar grammar, Chord& chord) {
    return MayBeChord(s, grammar) && ParseChordAfterCheck(s, grammar, chord);
}

// ---- tokens -----------------------------------------------------------------------------

enum class Kind {
    Other,    // no letter: numbers, dashes, bar lines
    Word,     // lyrics, titles
    Neutral,  // N.C., repeat marks
    Label,    // "Intro:", "Strophe 2:"
    Chord,
};

// No default values: a part's tokens are kept in an array that is only read where it was
// written.
struct Token {
    std::size_t start;
    std::size_t lead;  // past the leading decoration
    std::size_t end;
    Kind kind;
    bool beforeWord;  // the next token of its part is a word
    Chord chord;      // positions in the line, when kind is Chord
};

bool IsRepeatCount(std::u16string_view core) {
    // "2x", "x2", "3×" and their like.
    if (core.size() < 2) {
        return false;
    }
    const auto isTimes = [](char16_t c) { return c == u'x' || c == u'X' || c == u'×'; };
    const auto allDigits = [](std::u16string_view s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit);
    };
    if (isTimes(core.front())) {
        return allDigits(core.substr(1));
    }
    return isTimes(core.back()) && allDigits(core.substr(0, core.size() - 1));
}

// Note positions from the token's start to the line's.
void ShiftChord(Chord& chord, std::size_t by) {
    chord.root.start += by;
    if (chord.hasBass) {
        chord.bass.start += by;
    }
}

std::size_t SkipLeadingDecoration(std::u16string_view line, std::size_t start, std::size_t end) {
    while (start < end && IsLeadingDecoration(line[start])) {
        ++start;
    }
    return start;
}

// The kind of the token line[start, end) whose leading decoration ends at `lead`.
Kind Classify(std::u16string_view line, std::size_t lead, std::size_t end, Chord& chord) {
    if (ParseChord(line.substr(lead, end - lead), Grammar::Broad, chord)) {
        ShiftChord(chord, lead);
        return Kind::Chord;
    }
    if (lead < end && IsLetter(line[lead]) && line[lead] != u'N' && line[lead] != u'x' &&
        line[lead] != u'X' && line[end - 1] != u':') {
        return Kind::Word;
    }
    std::size_t coreEnd = end;
    while (coreEnd > lead && IsTrailingDecoration(line[coreEnd - 1])) {
        --coreEnd;
    }
    const std::u16string_view core = line.substr(lead, coreEnd - lead);
    if (core.empty() || core == u"N.C" || core == u"NC" || core == u"%" || IsRepeatCount(core)) {
        return Kind::Neutral;
    }
    if (line[end - 1] == u':' && core.size() > 0) {
        return Kind::Label;
    }
    return std::any_of(core.begin(), core.end(), IsLetter) ? Kind::Word : Kind::Other;
}

// A chord ending in a colon after words is a label: "Part A:".
Kind ClassifyInPart(std::u16string_view line, Token& token, int wordsBefore) {
    const Kind kind = Classify(line, token.lead, token.end, token.chord);
    if (kind == Kind::Chord && line[token.end - 1] == u':' && wordsBefore > 0) {
        return Kind::Label;
    }
    return kind;
}

// The next token of the tab-separated part at `at`, or false at the part's end (a tab or the
// line's end), where `at` then stands.
inline bool NextToken(std::u16string_view line, std::size_t& at, std::size_t& start,
                      std::size_t& end) {
    const char16_t* const begin = line.data();
    const char16_t* const stop = begin + line.size();
    const char16_t* p = begin + at;
    while (p != stop && IsSeparatorInPart(*p)) {
        ++p;
    }
    if (p == stop || *p == u'\t') {
        at = static_cast<std::size_t>(p - begin);
        return false;
    }
    start = static_cast<std::size_t>(p - begin);
    p = FindSeparator(p + 1, stop);
    at = end = static_cast<std::size_t>(p - begin);
    return true;
}

// The tokens of one tab-separated part that may move: its chords and the tokens that start
// like a chord of the narrow grammar; words are only counted. The first ones are read in place
// on the stack, those of a long part beyond them are kept only by place and kind, their chords
// read again when asked for.
class PartCandidates {
  public:
    void Clear() {
        count_ = 0;
        more_.clear();
    }
    // Where the part's next token is read; it stays only when Keep() follows.
    Token& Next() { return count_ < kKept ? kept_[count_] : spare_; }
    void Keep() {
        if (count_ >= kKept) {
            more_.push_back({spare_.start, spare_.lead, spare_.end, spare_.kind, false});
        } else {
            kept_[count_].beforeWord = false;
        }
        ++count_;
    }
    // The last one kept is followed by a word.
    void MarkBeforeWord() {
        if (count_ <= kKept) {
            kept_[count_ - 1].beforeWord = true;
        } else {
            more_.back().beforeWord = true;
        }
    }
    std::size_t Size() const { return count_; }
    // Candidate `i` with its chord, when it is one.
    const Token& Get(std::u16string_view line, std::size_t i) {
        if (i < kKept) {
            return kept_[i];
        }
        const Place& place = more_[i - kKept];
        spare_.start = place.start;
        spare_.lead = place.lead;
        spare_.end = place.end;
        spare_.kind = place.kind;
        spare_.beforeWord = place.beforeWord;
        if (spare_.kind == Kind::Chord) {
            Classify(line, spare_.lead, spare_.end, spare_.chord);
        }
        return spare_;
    }

  private:
    struct Place {
        std::size_t start;
        std::size_t lead;
        std::size_t end;
        Kind kind;
        bool beforeWord;
    };
    static constexpr std::size_t kKept = 32;
    Token kept_[kKept];  // only the first count_ are set
    Token spare_;
    std::size_t count_ = 0;
    std::vector<Place> more_;
};

// Calls visit(token, onChordLine) for every chord of the line that moves, left to right.
template <typename Visit>
void ForEachMovingChord(std::u16string_view line, Visit&& visit) {
    PartCandidates candidates;
    std::size_t at = 0;
    for (;;) {
        // Is this tab-separated part a chord line? Words before a label belong to it.
        candidates.Clear();
        int chords = 0;
        int words = 0;
        // Tokens that start like a chord of the narrow grammar: without any, a lyric part
        // holds nothing to move.
        int narrowStarts = 0;
        bool previousKept = false;
        for (;;) {
            Token& token = candidates.Next();
            if (!NextToken(line, at, token.start, token.end)) {
                break;
            }
            token.lead = SkipLeadingDecoration(line, token.start, token.end);
            if (token.lead < token.end && StartsPlainWord(line[token.lead]) &&
                line[token.end - 1] != u':') {
                ++words;
                if (previousKept) {
                    candidates.MarkBeforeWord();
                }
                previousKept = false;
                continue;
            }
            token.kind = ClassifyInPart(line, token, words);
            if (token.kind == Kind::Label) {
                words = 0;
            } else if (token.kind == Kind::Chord) {
                ++chords;
            } else if (token.kind == Kind::Word) {
                ++words;
                if (previousKept) {
                    candidates.MarkBeforeWord();
                }
            }
            const bool narrowStart =
                MayBeChord(line.substr(token.lead, token.end - token.lead), Grammar::Narrow);
            narrowStarts += narrowStart;
            previousKept = token.kind == Kind::Chord || narrowStart;
            if (previousKept) {
                candidates.Keep();
            }
        }
        const bool chordLine = chords > 0 && chords > words;

        for (std::size_t i = 0; i < candidates.Size() && (chordLine || narrowStarts > 0); ++i) {
            const Token& token = candidates.Get(line, i);
            if (chordLine) {
                if (token.kind == Kind::Chord) {
                    visit(token, true);
                }
                continue;
            }
            Chord chord;
            if (!ParseChord(line.substr(token.lead, token.end - token.lead), Grammar::Narrow,
                            chord)) {
                continue;
            }
            // "A little bird", "Am Brunnen": the article or the preposition, not a chord.
            if (chord.root.letter == u'A' && chord.root.accidental == 0 && token.beforeWord) {
                continue;
            }
            ShiftChord(chord, token.lead);
            Token lyricChord = token;
            lyricChord.chord = chord;
            visit(lyricChord, false);
        }
        if (at == line.size()) {
            return;
        }
        ++at;  // the tab
    }
}

// ---- spelling ---------------------------------------------------------------------------

struct Conventions {
    bool germanCustom = false;  // bare B is B-flat
    bool germanNames = false;   // B-natural is H
    Form majority = Form::Sign;
};

int PitchOf(const Note& note, bool germanCustom) {
    static constexpr int kLetterPitch[] = {9, 11, 0, 2, 4, 5, 7, 11};  // A B C D E F G H
    int pitch = kLetterPitch[note.letter - u'A'];
    if (note.letter == u'B' && note.accidental == 0 && germanCustom) {
        pitch = 10;
    }
    return pitch + note.accidental;
}

// A note's name: at most a letter and two more characters ("Ges", "cis").
struct NoteName {
    std::array<char16_t, 4> text;
    std::size_t length;
    std::u16string_view View() const { return {text.data(), length}; }
};

// The name of `pitch` (0 = C) as the sheet writes it.
NoteName PitchName(int pitch, bool flats, Form form, bool lower, const Conventions& conventions) {
    static constexpr char16_t kSharpLetters[] = u"CCDDEFFGGAAH";
    static constexpr char16_t kFlatLetters[] = u"CDDEEFGGAABH";
    const bool black = pitch == 1 || pitch == 3 || pitch == 6 || pitch == 8 || pitch == 10;
    char16_t letter = flats ? kFlatLetters[pitch] : kSharpLetters[pitch];
    std::array<char16_t, 4> name{};
    std::size_t length = 0;
    if (pitch == 11) {
        name[length++] = conventions.germanNames ? u'H' : u'B';
    } else if (!black) {
        name[length++] = letter;
    } else if (flats && pitch == 10) {
        letter = u'B';
        name[length++] = u'B';
        if (!conventions.germanCustom) {
            name[length++] = u'b';
        }
    } else {
        name[length++] = letter;
        if (form == Form::None) {
            form = Form::Sign;
        }
        if (form == Form::Sign) {
            name[length++] = flats ? u'b' : u'#';
        } else if (flats) {
            if (letter != u'E' && letter != u'A') {
                name[length++] = u'e';
            }
            name[length++] = u's';
        } else if (form == Form::Short && letter != u'A') {
            name[length++] = u's';
        } else {
            name[length++] = u'i';
            name[length++] = u's';
        }
    }
    if (lower) {
        name[0] = static_cast<char16_t>(name[0] + 32);
    }
    return {name, length};
}

// ---- rewriting --------------------------------------------------------------------------

// One change to the line: `remove` characters at `position` give way to inserted[from, +length).
// The insertion goes to piece `piece`; removals always go to the pieces that hold them.
struct Edit {
    std::size_t position;
    std::size_t remove;
    std::size_t from;
    std::size_t length;
    std::size_t piece;
};

// A line's edits: a chord line's few on the stack, a long line's on the heap.
class EditList {
  public:
    void push_back(const Edit& edit) {
        if (count_ < kInline) {
            inline_[count_] = edit;
        } else {
            if (more_.empty()) {
                more_.assign(inline_, inline_ + kInline);
            }
            more_.push_back(edit);
        }
        ++count_;
    }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const Edit& operator[](std::size_t i) const {
        return count_ <= kInline ? inline_[i] : more_[i];
    }

  private:
    static constexpr std::size_t kInline = 16;
    Edit inline_[kInline];  // only the first count_ are set
    std::size_t count_ = 0;
    std::vector<Edit> more_;
};

// The piece holding line position `position`; pieces hold [starts[i], starts[i+1]).
std::size_t PieceAt(std::span<const std::size_t> starts, std::size_t position) {
    if (starts.size() <= 2) {
        return 0;
    }
    const auto it = std::upper_bound(starts.begin(), starts.end() - 1, position);
    return static_cast<std::size_t>(it - starts.begin()) - 1;
}

// Where a line's changes go. A line of several pieces keeps them as edits to share out among
// its pieces; a line of one piece is written at once, as its edits come left to right and never
// overlap.
struct LineEdits {
    std::u16string* direct = nullptr;  // the new text of a one-piece line
    std::size_t copied = 0;            // how much of the line `direct` has passed
    EditList edits;
    std::u16string inserted;
};

// Text put together from a few pieces: a usual chord token stays on the stack.
class ShortText {
  public:
    void Clear() {
        size_ = 0;
        spilled_ = false;
    }
    void Append(std::u16string_view text) {
        if (!spilled_ && size_ + text.size() <= kShort) {
            std::copy(text.begin(), text.end(), short_.begin() + size_);
            size_ += text.size();
            return;
        }
        if (!spilled_) {
            long_.assign(short_.data(), size_);
            spilled_ = true;
        }
        long_.append(text);
    }
    std::u16string_view View() const {
        return spilled_ ? std::u16string_view(long_) : std::u16string_view(short_.data(), size_);
    }

  private:
    static constexpr std::size_t kShort = 32;
    std::array<char16_t, kShort> short_;  // only the first size_ are set
    std::size_t size_ = 0;
    bool spilled_ = false;
    std::u16string long_;
};

class Rewriter {
  public:
    Rewriter(std::u16string_view line, std::span<const std::size_t> starts,
             const TransposeSettings& settings, const Conventions& conventions, LineEdits& result)
        : line_(line),
          starts_(starts),
          settings_(settings),
          conventions_(conventions),
          result_(result),
          shift_(static_cast<int>(settings.steps % 12 + 24)) {}

    void Rewrite(const Token& token, bool onChordLine) {
        const Chord& chord = token.chord;
        if (result_.direct != nullptr) {
            // One piece: each note is replaced where it stands, the text between them stays.
            std::ptrdiff_t growth = ReplaceNote(chord.root, chord.hasBass ? &chord.bass : nullptr);
            if (chord.hasBass) {
                growth += ReplaceNote(chord.bass, &chord.root);
            }
            if (onChordLine && growth != 0) {
                KeepColumn(token, growth);
            }
            return;
        }
        // The token from its root on as it will read; the decoration before it stays.
        const std::size_t from = chord.root.start;
        now_.Clear();
        now_.Append(NameOf(chord.root, chord.hasBass ? &chord.bass : nullptr).View());
        std::size_t rest = chord.root.start + chord.root.length;
        if (chord.hasBass) {
            now_.Append(line_.substr(rest, chord.bass.start - rest));
            now_.Append(NameOf(chord.bass, &chord.root).View());
            rest = chord.bass.start + chord.bass.length;
        }
        now_.Append(line_.substr(rest, token.end - rest));

        const std::u16string_view old = line_.substr(from, token.end - from);
        const std::u16string_view now = now_.View();
        if (old == now) {
            return;
        }
        std::size_t prefix = 0;
        while (prefix < old.size() && prefix < now.size() && old[prefix] == now[prefix]) {
            ++prefix;
        }
        std::size_t suffix = 0;
        while (suffix < old.size() - prefix && suffix < now.size() - prefix &&
               old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix]) {
            ++suffix;
        }
        const std::size_t position = from + prefix;
        const std::size_t removed = old.size() - prefix - suffix;
        std::size_t piece = 0;
        if (removed > 0 || position == token.start) {
            piece = PieceAt(starts_, position);
        } else {
            piece = PieceAt(starts_, position - 1);
        }
        AddEdit(position, removed, now.substr(prefix, now.size() - prefix - suffix), piece);

        if (onChordLine) {
            KeepColumn(token, static_cast<std::ptrdiff_t>(now.size()) -
                                  static_cast<std::ptrdiff_t>(old.size()));
        }
    }

  private:
    // Writes the note's new name in a one-piece line; returns how much it grew.
    std::ptrdiff_t ReplaceNote(const Note& note, const Note* other) {
        const NoteName name = NameOf(note, other);
        if (name.View() == line_.substr(note.start, note.length)) {
            return 0;
        }
        AddEdit(note.start, note.length, name.View(), 0);
        return static_cast<std::ptrdiff_t>(name.length) - static_cast<std::ptrdiff_t>(note.length);
    }

    NoteName NameOf(const Note& note, const Note* other) const {
        Form form = note.form;
        if (form == Form::None && other != nullptr) {
            form = other->form;
        }
        if (form == Form::None) {
            form = conventions_.majority;
        }
        const int shifted = (PitchOf(note, conventions_.germanCustom) + shift_) % 12;
        return PitchName(shifted, settings_.spelling >= 1, form, note.lower, conventions_);
    }

    void AddEdit(std::size_t position, std::size_t remove, std::u16string_view text,
                 std::size_t piece) {
        if (result_.direct != nullptr) {
            result_.direct->append(line_.substr(result_.copied, position - result_.copied));
            result_.direct->append(text);
            result_.copied = position + remove;
            return;
        }
        result_.edits.push_back({position, remove, result_.inserted.size(), text.size(), piece});
        result_.inserted.append(text);
    }

    // A chord that grew gives back spaces after it, one that shrank gets spaces added, so the
    // next chord stays above its syllable. Only spaces in the chord's own piece are touched.
    void KeepColumn(const Token& token, std::ptrdiff_t growth) {
        std::size_t spacesEnd = token.end;
        while (spacesEnd < line_.size() && line_[spacesEnd] == u' ') {
            ++spacesEnd;
        }
        const std::size_t spaces = spacesEnd - token.end;
        const bool tokenFollows = spacesEnd < line_.size() && !IsSeparator(line_[spacesEnd]);
        if (spaces == 0 || !tokenFollows) {
            return;
        }
        const std::size_t piece = PieceAt(starts_, token.start);
        if (growth > 0 && spaces >= 2) {
            const std::size_t remove = std::min(static_cast<std::size_t>(growth), spaces - 1);
            if (PieceAt(starts_, token.end + remove - 1) == piece) {
                AddEdit(token.end, remove, {}, piece);
            }
        } else if (growth < 0 && PieceAt(starts_, token.end) == piece) {
            static constexpr std::u16string_view kSpaces = u"        ";
            std::size_t add = static_cast<std::size_t>(-growth);
            while (add > 0) {
                const std::size_t now = std::min(add, kSpaces.size());
                AddEdit(token.end, 0, kSpaces.substr(0, now), piece);
                add -= now;
            }
        }
    }

    std::u16string_view line_;
    std::span<const std::size_t> starts_;
    const TransposeSettings& settings_;
    const Conventions& conventions_;
    LineEdits& result_;
    int shift_;  // the steps as a positive shift of a pitch
    ShortText now_;
};

// Piece `index` of the line with the edits applied.
std::u16string ApplyToPiece(std::u16string_view line, std::span<const std::size_t> starts,
                            std::size_t index, const LineEdits& edits, std::size_t& firstEdit) {
    const std::size_t pieceStart = starts[index];
    const std::size_t pieceEnd = starts[index + 1];
    std::u16string out;
    out.reserve(pieceEnd - pieceStart + 16);
    std::size_t copied = pieceStart;
    for (std::size_t e = firstEdit; e < edits.edits.size(); ++e) {
        const Edit& edit = edits.edits[e];
        if (edit.position > pieceEnd) {
            break;
        }
        const std::size_t removeEnd = edit.position + edit.remove;
        const bool inserts = edit.piece == index;
        const bool removesHere =
            edit.remove > 0 && removeEnd > pieceStart && edit.position < pieceEnd;
        if (!inserts && !removesHere) {
            continue;
        }
        const std::size_t at = std::clamp(edit.position, pieceStart, pieceEnd);
        if (at > copied) {
            out.append(line.substr(copied, at - copied));
            copied = at;
        }
        if (inserts) {
            out.append(std::u16string_view(edits.inserted).substr(edit.from, edit.length));
        }
        copied = std::max(copied, std::min(removeEnd, pieceEnd));
    }
    out.append(line.substr(copied, pieceEnd - copied));
    while (firstEdit < edits.edits.size() &&
           edits.edits[firstEdit].position + edits.edits[firstEdit].remove <= pieceEnd &&
           edits.edits[firstEdit].piece <= index) {
        ++firstEdit;
    }
    return out;
}

}  // namespace

SheetTransposer::SheetTransposer(const NoteTable& table, const TransposeSettings& settings)
    : table_(table), settings_(settings) {}

void SheetTransposer::Learn(std::u16string_view line) {
    if (settings_.recognition == Recognition::Classic) {
        return;
    }
    ForEachMovingChord(line, [this](const Token& token, bool) {
        const auto count = [this](const Note& note) {
            seenH_ |= note.letter == u'H';
            seenBareB_ |= note.letter == u'B' && note.accidental == 0;
            seenLower_ |= note.lower;
            if (note.form == Form::Sign) {
                ++signNotes_;
            } else if (note.form == Form::Suffix) {
                ++suffixNotes_;
            } else if (note.form == Form::Short) {
                ++shortNotes_;
            }
        };
        count(token.chord.root);
        if (token.chord.hasBass) {
            count(token.chord.bass);
        }
    });
}

bool SheetTransposer::GermanCustom() const {
    return seenH_;
}

bool SheetTransposer::GermanNames() const {
    if (seenH_) {
        return true;
    }
    if (seenBareB_) {
        return false;
    }
    if (seenLower_ || suffixNotes_ + shortNotes_ > 0) {
        return true;
    }
    switch (settings_.naming) {
        case NoteNaming::German:
            return true;
        case NoteNaming::English:
            return false;
        case NoteNaming::Auto:
            break;
    }
    return settings_.germanReader;
}

namespace {

Conventions ConventionsOf(const SheetTransposer& sheet) {
    Conventions conventions;
    conventions.germanCustom = sheet.GermanCustom();
    conventions.germanNames = sheet.GermanNames();
    conventions.majority = !sheet.SuffixSheet()     ? Form::Sign
                           : sheet.ShorthandSheet() ? Form::Short
                                                    : Form::Suffix;
    return conventions;
}

bool TransposeInto(std::u16string_view line, std::span<const std::size_t> starts,
                   const TransposeSettings& settings, const Conventions& conventions,
                   LineEdits& edits) {
    Rewriter rewriter(line, starts, settings, conventions, edits);
    ForEachMovingChord(
        line, [&](const Token& token, bool onChordLine) { rewriter.Rewrite(token, onChordLine); });
    return !edits.edits.empty();
}

}  // namespace

std::vector<std::u16string> SheetTransposer::TransposeLine(
    const std::vector<std::u16string_view>& pieces) const {
    std::vector<std::u16string> moved;
    moved.reserve(pieces.size());
    if (settings_.recognition == Recognition::Classic) {
        for (std::u16string_view piece : pieces) {
            moved.push_back(TransposeText(table_, piece, settings_.steps, settings_.spelling));
        }
        return moved;
    }
    std::u16string line;
    std::vector<std::size_t> starts{0};
    for (std::u16string_view piece : pieces) {
        line.append(piece);
        starts.push_back(line.size());
    }
    LineEdits edits;
    if (!TransposeInto(line, starts, settings_, ConventionsOf(*this), edits)) {
        moved.assign(pieces.begin(), pieces.end());
        return moved;
    }
    std::size_t firstEdit = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        moved.push_back(ApplyToPiece(line, starts, i, edits, firstEdit));
    }
    return moved;
}

bool SheetTransposer::TransposeLineInto(std::u16string_view line, std::u16string& out) const {
    const std::size_t before = out.size();
    if (settings_.recognition == Recognition::Classic) {
        out += TransposeText(table_, line, settings_.steps, settings_.spelling);
    } else {
        const std::array<std::size_t, 2> starts{0, line.size()};
        LineEdits edits;
        edits.direct = &out;
        TransposeInto(line, starts, settings_, ConventionsOf(*this), edits);
        if (edits.copied == 0) {
            out.append(line);
            return false;
        }
        out.append(line.substr(edits.copied));
    }
    return std::u16string_view(out).substr(before) != line;
}

std::u16string SheetTransposer::TransposeLine(std::u16string_view line) const {
    std::u16string moved;
    moved.reserve(line.size() + 16);
    TransposeLineInto(line, moved);
    return moved;
}

}  // namespace melvane

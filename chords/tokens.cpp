#include "chords/tokens.h"

#include <algorithm>
#include <bit>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "chords/characters.h"
#include "chords/charts.h"
#include "chords/small_vector.h"
#include "chords/token_memo.h"

namespace melvane::chords {
namespace {

// The first separator in [p, stop), or stop. Eight characters are looked at together where the
// processor allows: a token's end then costs no mispredicted branch per character.
inline const char16_t* FindSeparator(const char16_t* p, const char16_t* stop) {
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi16(u' ');
    while (stop - p >= 8) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // A character no greater than a space leaves nothing when the space is subtracted.
        const __m128i above = _mm_subs_epu16(chars, space);
        auto low =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(above, _mm_setzero_si128())));
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

// ASCII letters that start neither a note (A-H, either case) nor a neutral mark ("N.C.", "x2").
constexpr AsciiSet kPlainWordStarts(
    u"IJKLMOPQRSTUVWYZ"
    u"ijklmnopqrstuvwyz");

// A token starting so is a word, unless it ends in a colon (a label).
constexpr bool StartsPlainWord(char16_t c) {
    return c < 0x80 ? kPlainWordStarts(c) : IsLetter(c);
}

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

// What a chord line puts in parentheses after a chord: a fret position (I to XII), a count or a
// short word: "A(V)", "B7(3)", "C(stop)".
bool IsChordRemark(std::u16string_view s) {
    static constexpr std::u16string_view kRoman[] = {u"I",   u"II",   u"III", u"IV", u"V",  u"VI",
                                                     u"VII", u"VIII", u"IX",  u"X",  u"XI", u"XII"};
    if (s.empty()) {
        return false;
    }
    if (std::all_of(s.begin(), s.end(), IsDigit) || IsRepeatCount(s)) {
        return s.size() <= 3;
    }
    if (std::find(std::begin(kRoman), std::end(kRoman), s) != std::end(kRoman)) {
        return true;
    }
    return s.size() <= 6 && std::all_of(s.begin(), s.end(), IsLetter);
}

// A chord the grammar reads only with what stands around it: a bass alone ("/F#") or a chord
// with a remark in parentheses ("E5(VII)").
bool ParseChordWithMarks(std::u16string_view s, Chord& chord) {
    if (s.size() >= 2 && s[0] == u'/') {
        if (ParseChord(s.substr(1), Grammar::Broad, chord) && !chord.hasBass &&
            OnlyTrailingDecoration(s, 1 + chord.root.length)) {
            ShiftChord(chord, 1);
            return true;
        }
        return false;
    }
    if (s.size() < 4 || s.back() != u')') {
        return false;
    }
    // Right after the chord, and no chord itself: "(Bm)(A)" are two chords.
    const std::size_t open = s.rfind(u'(');
    if (open == std::u16string_view::npos || open == 0 || IsTrailingDecoration(s[open - 1])) {
        return false;
    }
    const std::u16string_view remark = s.substr(open + 1, s.size() - open - 2);
    return IsChordRemark(remark) && !ParseChord(remark, Grammar::Broad, chord) &&
           ParseChord(s.substr(0, open), Grammar::Broad, chord);
}

// The kind of a token without its leading decoration; a chord's positions are in `s`.
Kind ClassifyToken(std::u16string_view s, Chord& chord) {
    if (ParseChord(s, Grammar::Broad, chord) || ParseChordWithMarks(s, chord)) {
        return Kind::Chord;
    }
    if (!s.empty() && IsLetter(s[0]) && s[0] != u'N' && s[0] != u'x' && s[0] != u'X' &&
        s.back() != u':') {
        return Kind::Word;
    }
    std::size_t coreEnd = s.size();
    while (coreEnd > 0 && IsTrailingDecoration(s[coreEnd - 1])) {
        --coreEnd;
    }
    const std::u16string_view core = s.substr(0, coreEnd);
    if (core.empty() || core == u"N.C" || core == u"NC" || core == u"%" || IsRepeatCount(core)) {
        return Kind::Neutral;
    }
    if (s.back() == u':') {
        return Kind::Label;
    }
    return std::any_of(core.begin(), core.end(), IsLetter) ? Kind::Word : Kind::Other;
}

struct Classified {
    Kind kind;
    Chord chord;  // set when a chord
};

// Lyrics and chords repeat: the kinds of short tokens are remembered.
constinit thread_local TokenMemo<Classified> classified;

// The kind of the token line[start, end) whose leading decoration ends at `lead`.
Kind Classify(std::u16string_view line, std::size_t lead, std::size_t end, Chord& chord) {
    const std::u16string_view s = line.substr(lead, end - lead);
    Kind kind = Kind::Other;
    if (!s.empty() && s.size() <= TokenMemo<Classified>::kLongest) {
        const Classified& known =
            classified.Get(line, lead, s.size(), 0, [](std::u16string_view text) {
                Classified read{};
                read.kind = ClassifyToken(text, read.chord);
                return read;
            });
        kind = known.kind;
        if (kind == Kind::Chord) {
            chord = known.chord;
        }
    } else {
        kind = ClassifyToken(s, chord);
    }
    if (kind == Kind::Chord) {
        ShiftChord(chord, lead);
    }
    return kind;
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
        kept_.clear();
        more_.clear();
    }
    // Where the part's next token is read; it stays only when Keep() follows. Below kKept the
    // vector is within its own room, so the slot after its last needs no check.
    Token& Next() { return kept_.size() < kKept ? kept_.data()[kept_.size()] : spare_; }
    void Keep() {
        if (kept_.size() < kKept) {
            kept_.Grow();  // the slot Next() gave
            kept_.back().beforeWord = false;
        } else {
            more_.push_back(
                {spare_.start, spare_.lead, spare_.end, spare_.kind, false, spare_.bracketed});
        }
    }
    // The last one kept is followed by a word.
    void MarkBeforeWord() {
        if (more_.empty()) {
            kept_.back().beforeWord = true;
        } else {
            more_.back().beforeWord = true;
        }
    }
    std::size_t Size() const { return kept_.size() + more_.size(); }
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
        spare_.bracketed = place.bracketed;
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
        bool bracketed;
    };
    static constexpr std::size_t kKept = 32;
    SmallVector<Token, kKept> kept_;  // never beyond its own room: later ones go to more_
    Token spare_;
    std::vector<Place> more_;
};

constexpr bool IsBracket(char16_t c) {
    return c == u'(' || c == u'[';
}

bool HasBracket(std::u16string_view text) {
    for (char16_t c : text) {
        if (IsBracket(c)) {
            return true;
        }
    }
    return false;
}

// Brackets are rare in a line: most lines need no look for chords inside tokens.
bool HasBracketInLine(std::u16string_view line) {
#if defined(__SSE2__)
    const char16_t* p = line.data();
    const char16_t* const stop = p + line.size();
    if (stop - p >= 8) {
        const __m128i open = _mm_set1_epi16(u'(');
        const __m128i square = _mm_set1_epi16(u'[');
        __m128i found = _mm_setzero_si128();
        const auto look = [&](const char16_t* at) {
            const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            found = _mm_or_si128(
                found, _mm_or_si128(_mm_cmpeq_epi16(chars, open), _mm_cmpeq_epi16(chars, square)));
        };
        for (; stop - p > 8; p += 8) {
            look(p);
        }
        look(stop - 8);  // the last eight, partly again: no character by character
        return _mm_movemask_epi8(found) != 0;
    }
#endif
    return HasBracket(line);
}

// The token's chord stands alone in brackets: "(A)", "[dm]".
bool InBrackets(std::u16string_view line, const Token& token) {
    if (token.lead == token.start || !IsBracket(line[token.lead - 1])) {
        return false;
    }
    const char16_t closer = line[token.lead - 1] == u'(' ? u')' : u']';
    for (std::size_t i = token.end; i > token.lead && IsTrailingDecoration(line[i - 1]); --i) {
        if (line[i - 1] == closer) {
            return true;
        }
    }
    return false;
}

// Keeps each chord in brackets inside line[start, end) as a token of its own: "da-(C)-bei",
// "(Bm)(A)". A bracket opens at the token's start or after a mark, never after a letter or digit
// ("Am(maj7)", "C7(b9)" are one chord). Returns how many; `lettersOutside` tells whether
// letters stand outside them.
int KeepBracketedChords(std::u16string_view line, std::size_t start, std::size_t end,
                        PartCandidates& candidates, bool& lettersOutside) {
    int found = 0;
    for (std::size_t p = start; p < end; ++p) {
        const char16_t c = line[p];
        if (IsBracket(c) && (p == start || !(IsLetter(line[p - 1]) || IsDigit(line[p - 1])))) {
            const char16_t closer = c == u'(' ? u')' : u']';
            std::size_t q = p + 1;
            while (q < end && line[q] != closer) {
                ++q;
            }
            Chord chord;
            if (q < end && q > p + 1 &&
                ParseChord(line.substr(p + 1, q - p - 1), Grammar::Broad, chord)) {
                ShiftChord(chord, p + 1);
                Token& token = candidates.Next();
                token = Token{p, p + 1, q + 1, Kind::Chord, false, true, chord};
                candidates.Keep();
                ++found;
                p = q;
                continue;
            }
        }
        lettersOutside = lettersOutside || IsLetter(c);
    }
    return found;
}

// A bare lower-case word ("a", "es", "his"): a chord only where the song writes lower case.
bool IsLowerWord(std::u16string_view line, const Token& token) {
    if (!token.chord.root.lower || token.bracketed) {
        return false;
    }
    std::size_t coreEnd = token.end;
    while (coreEnd > token.lead && IsTrailingDecoration(line[coreEnd - 1])) {
        --coreEnd;
    }
    return std::all_of(line.begin() + token.lead, line.begin() + coreEnd, IsLetter);
}

constexpr bool IsSentenceMark(char16_t c) {
    return c == u'.' || c == u',' || c == u':';
}

// Spaces enough between lyrics and the chords that follow them on the same line.
constexpr std::size_t kWideGap = 3;
constexpr std::size_t kNoTail = ~std::size_t{0};

// The first candidate of the chords after the part's last word, when at least two follow it
// behind a wide gap; else kNoTail.
std::size_t ChordTail(std::u16string_view line, PartCandidates& candidates,
                      std::size_t lastWordEnd) {
    std::size_t first = kNoTail;
    int chords = 0;
    for (std::size_t i = 0; i < candidates.Size(); ++i) {
        const Token& token = candidates.Get(line, i);
        if (token.start < lastWordEnd) {
            continue;
        }
        if (first == kNoTail) {
            if (token.start - lastWordEnd < kWideGap) {
                return kNoTail;
            }
            first = i;
        }
        chords += token.kind == Kind::Chord;
    }
    return chords >= 2 ? first : kNoTail;
}

}  // namespace

namespace {

// One walk for each reading: learning needs no lyric chords, and is spared their look.
template <bool kEvidenceOnly>
void WalkLine(std::u16string_view line, MovingChordVisitor& visitor, bool lowerWords) {
    PartCandidates candidates;
    const bool brackets = HasBracketInLine(line);
    bool chartChecked = false;
    bool isChart = false;
    std::size_t at = 0;
    for (;;) {
        // Is this tab-separated part a chord line? Words before a label belong to it.
        candidates.Clear();
        int chords = 0;
        int words = 0;
        int tokens = 0;
        // Tokens that start like a chord of the narrow grammar, and chords in brackets: without
        // any, a lyric part holds nothing to move.
        int narrowStarts = 0;
        int bracketChords = 0;
        int odd = 0;  // tokens read that are neither chords nor plain words
        std::size_t lastWordEnd = at;
        bool previousKept = false;
        for (;;) {
            std::size_t start = 0;
            std::size_t end = 0;
            if (!NextToken(line, at, start, end)) {
                break;
            }
            const int before = tokens++;
            const std::size_t lead = SkipLeadingDecoration(line, start, end);
            if (lead < end && StartsPlainWord(line[lead]) && line[end - 1] != u':' &&
                !(brackets && HasBracket(line.substr(start, end - start)))) {
                ++words;
                lastWordEnd = end;
                if (!kEvidenceOnly && previousKept) {
                    candidates.MarkBeforeWord();
                }
                previousKept = false;
                continue;
            }
            Token& token = candidates.Next();
            token.start = start;
            token.lead = lead;
            token.end = end;
            token.bracketed = false;
            token.kind = ClassifyInPart(line, token, words);
            if (token.kind == Kind::Label && before > 2) {
                token.kind = Kind::Word;  // a sentence that ends in a colon
            }
            if (brackets) {
                if (token.kind == Kind::Chord) {
                    token.bracketed = InBrackets(line, token);
                } else if (token.kind != Kind::Neutral) {
                    bool lettersOutside = false;
                    const int found =
                        KeepBracketedChords(line, start, end, candidates, lettersOutside);
                    if (found > 0) {
                        chords += found;
                        bracketChords += found;
                        if (lettersOutside) {
                            ++words;
                            lastWordEnd = end;
                        }
                        previousKept = false;
                        continue;
                    }
                }
            }
            if (token.kind == Kind::Label) {
                words = 0;
                lastWordEnd = end;
            } else if (token.kind == Kind::Chord) {
                ++chords;
            } else if (token.kind == Kind::Word) {
                ++odd;
                ++words;
                lastWordEnd = end;
                if (previousKept) {
                    candidates.MarkBeforeWord();
                }
            } else if (token.kind == Kind::Other) {
                ++odd;
            }
            const bool narrowStart =
                !kEvidenceOnly &&
                MayBeChord(line.substr(token.lead, token.end - token.lead), Grammar::Narrow);
            narrowStarts += narrowStart;
            previousKept = token.kind == Kind::Chord || narrowStart;
            if (previousKept) {
                candidates.Keep();
            }
        }
        const bool chordLine = chords > 0 && chords > words;
        // Chords behind a wide gap after the last word: "…tekst    h E h    G fis".
        std::size_t tailFrom = kNoTail;
        if (!chordLine && chords >= 2 && words > 0) {
            tailFrom = ChordTail(line, candidates, lastWordEnd);
        }
        const bool tail = tailFrom != kNoTail;
        // Tablature and charts hold tokens no chord reads (frets, strings), or are six strings'
        // names. Asked before the line's first chord moves.
        const bool mayBeChart = !chartChecked && (odd > 0 || chords == 6);
        const auto visit = [&](const Token& token, bool onChordLine) {
            if (mayBeChart && !chartChecked) {
                chartChecked = true;
                isChart = IsTablatureOrChart(line);
            }
            if (!isChart) {
                visitor.Visit(token, onChordLine);
            }
        };

        for (std::size_t i = 0;
             i < candidates.Size() && (chordLine || tail || narrowStarts + bracketChords > 0);
             ++i) {
            const Token& token = candidates.Get(line, i);
            if (chordLine || (tail && i >= tailFrom)) {
                // Among words, a lower-case word needs the song's lower-case chords to be one;
                // a run of chords after the lyrics holds none.
                if (token.kind == Kind::Chord &&
                    (lowerWords || !chordLine || words == 0 || !IsLowerWord(line, token))) {
                    visit(token, true);
                }
                continue;
            }
            if (token.bracketed) {
                visit(token, false);
                continue;
            }
            if (kEvidenceOnly) {
                continue;
            }
            Chord chord;
            if (IsSentenceMark(line[token.end - 1]) ||
                !ParseChord(line.substr(token.lead, token.end - token.lead), Grammar::Narrow,
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
        if (at == line.size() || isChart) {
            return;
        }
        ++at;  // the tab
    }
}

}  // namespace

void ForEachMovingChord(std::u16string_view line, MovingChordVisitor& visitor,
                        const ReadRules& rules) {
    if (rules.evidenceOnly) {
        WalkLine<true>(line, visitor, rules.lowerWords);
    } else {
        WalkLine<false>(line, visitor, rules.lowerWords);
    }
}

bool MayBeTitle(std::u16string_view line) {
    int words = 0;
    bool inWord = false;
    for (char16_t c : line) {
        const bool separator = IsSeparator(c);
        words += !separator && !inWord;
        inWord = !separator;
    }
    if (words == 0 || words > 8) {
        return false;
    }
    bool chordLine = false;
    ForEachMovingChord(line, [&chordLine](const Token&, bool onChordLine) {
        chordLine = chordLine || onChordLine;
    });
    return !chordLine;
}

}  // namespace melvane::chords

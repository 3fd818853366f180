#include "chords/tokens.h"

#include <algorithm>
#include <bit>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "chords/characters.h"
#include "chords/small_vector.h"

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
            more_.push_back({spare_.start, spare_.lead, spare_.end, spare_.kind, false});
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
    SmallVector<Token, kKept> kept_;  // never beyond its own room: later ones go to more_
    Token spare_;
    std::vector<Place> more_;
};

}  // namespace

void ForEachMovingChord(std::u16string_view line, MovingChordVisitor& visitor) {
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
            std::size_t start = 0;
            std::size_t end = 0;
            if (!NextToken(line, at, start, end)) {
                break;
            }
            const std::size_t lead = SkipLeadingDecoration(line, start, end);
            if (lead < end && StartsPlainWord(line[lead]) && line[end - 1] != u':') {
                ++words;
                if (previousKept) {
                    candidates.MarkBeforeWord();
                }
                previousKept = false;
                continue;
            }
            Token& token = candidates.Next();
            token.start = start;
            token.lead = lead;
            token.end = end;
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
                    visitor.Visit(token, true);
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
            visitor.Visit(lyricChord, false);
        }
        if (at == line.size()) {
            return;
        }
        ++at;  // the tab
    }
}

}  // namespace melvane::chords

#include "chords/transpose.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace melvane {
namespace {

// Note names as bits: letter A..H times the plain, "#" and "b" forms.
using NameSet = std::uint32_t;

constexpr NameSet NameBit(char16_t letter, char16_t accidental) {
    const int variant = accidental == u'#' ? 1 : accidental == u'b' ? 2 : 0;
    return NameSet{1} << ((letter - u'A') * 3 + variant);
}

constexpr bool IsNameLetter(char16_t c) {
    return c >= u'A' && c <= u'H';
}

// What may stand right after a note name inside a chord symbol: the first character of "m",
// "7", "maj7", "add", "sus", "/" or the closing space.
constexpr bool CanFollowName(char16_t c) {
    return c == u'm' || c == u'7' || c == u'a' || c == u's' || c == u'/' || c == u' ';
}

// What may end a chord symbol: a name, "m", "7" (also of "maj7"), the digit of "add"/"sus", "/".
constexpr bool CanEndChord(char16_t c) {
    return IsNameLetter(c) || c == u'#' || c == u'b' || c == u'm' || c == u'/' ||
           (c >= u'2' && c <= u'9');
}

// The note names that occur in `subject` followed by a character that may continue a chord.
// Every pattern that can match the subject has its name in this set, so a cell whose name is
// missing need not be searched; the pattern search still has the final word.
NameSet CandidateNames(std::u16string_view subject) {
    NameSet names = 0;
    for (std::size_t i = 0; i + 1 < subject.size(); ++i) {
        const char16_t c = subject[i];
        if (!IsNameLetter(c)) {
            continue;
        }
        const char16_t next = subject[i + 1];
        if (CanFollowName(next)) {
            names |= NameBit(c, 0);
        } else if ((next == u'#' || next == u'b') && i + 2 < subject.size() &&
                   CanFollowName(subject[i + 2])) {
            names |= NameBit(c, next);
        }
    }
    return names;
}

NameSet NameBitOf(std::u16string_view name) {
    return NameBit(name[0], name.size() > 1 ? name[1] : 0);
}

struct ChordCell {
    int row = 0;
    int column = 0;
};

// The first cell, sharp column rows 1-13 then flat column rows 1-13, whose pattern occurs in
// the token followed by one space; row 0 when none does.
ChordCell FindChord(const NoteTable& table, std::u16string_view token, MatchScratch& scratch) {
    if (!CanEndChord(token.back())) {
        return {};
    }
    // The appended space is the only space in the subject, so every match ends there and fits
    // in its last kLongestChordMatch characters: searching that tail finds the same cells.
    const std::size_t tailLength = std::min(token.size(), kLongestChordMatch - 1);
    std::array<char16_t, kLongestChordMatch> subjectBuffer{};
    std::copy(token.end() - static_cast<std::ptrdiff_t>(tailLength), token.end(),
              subjectBuffer.begin());
    subjectBuffer[tailLength] = u' ';
    const std::u16string_view subject(subjectBuffer.data(), tailLength + 1);

    const NameSet candidates = CandidateNames(subject);
    if (candidates == 0) {
        return {};
    }
    for (int column = kSharpColumn; column <= kFlatColumn; ++column) {
        for (int row = 1; row <= kNoteRows; ++row) {
            const NoteEntry& cell = table.Cell(row, column);
            if ((candidates & NameBitOf(cell.name)) != 0 && cell.pattern.Search(subject, scratch)) {
                return {row, column};
            }
        }
    }
    return {};
}

// Appends `token` with every occurrence of `from` replaced by `to`, left to right, no overlaps.
void AppendReplacingAll(std::u16string& out, std::u16string_view token, std::u16string_view from,
                        std::u16string_view to) {
    std::size_t start = 0;
    for (std::size_t hit = token.find(from); hit != std::u16string_view::npos;
         hit = token.find(from, start)) {
        out.append(token.substr(start, hit - start));
        out.append(to);
        start = hit + from.size();
    }
    out.append(token.substr(start));
}

}  // namespace

int ShiftNoteIndex(int row, std::int64_t steps) {
    const int from = row == kRowB ? kRowH : row;
    return ShiftPitch(from - 1, steps) + 1;
}

std::u16string TransposeText(const NoteTable& table, std::u16string_view text, std::int64_t steps,
                             int spelling) {
    const int outColumn = spelling >= kFlatColumn ? kFlatColumn : kSharpColumn;

    // The result is built in one pass: unchanged stretches are copied from `text` only when
    // a rewritten token has to be appended after them.
    std::u16string out;
    std::size_t copiedUpTo = 0;
    MatchScratch scratch;

    // The last token recognised as "A", until the next unrecognised token decides whether it
    // was the article: where it stands in `out` after rewriting, and where it came from.
    struct Article {
        bool pending = false;
        std::size_t outStart = 0;
        std::size_t outLength = 0;
        std::size_t textStart = 0;
        std::size_t textLength = 0;
    } article;

    const std::size_t length = text.size();
    std::size_t p = 0;
    while (p < length) {
        if (text[p] == u' ') {
            ++p;
            continue;
        }
        // The first character is taken whatever it is: a line break, tab or "/" starts a token.
        std::size_t end = p + 1;
        while (end < length && ContinuesToken(text[end])) {
            ++end;
        }
        const std::u16string_view token = text.substr(p, end - p);

        const ChordCell chord = FindChord(table, token, scratch);
        if (chord.row != 0) {
            if (out.empty()) {
                out.reserve(length + length / 8 + 8);
            }
            out.append(text.substr(copiedUpTo, p - copiedUpTo));
            const std::size_t outStart = out.size();
            const NoteEntry& from = table.Cell(chord.row, chord.column);
            const NoteEntry& to = table.Cell(ShiftNoteIndex(chord.row, steps), outColumn);
            AppendReplacingAll(out, token, from.name, to.name);
            copiedUpTo = end;
            if (chord.row == kRowA) {
                article = {true, outStart, out.size() - outStart, p, token.size()};
            }
        } else if (article.pending) {
            // A word on the same line after it: the "A" was the article. A line break or tab
            // (which start their token) or a lone "/" leaves it a chord.
            const char16_t first = token.front();
            const bool lineGoesOn =
                token != u"/" && first != u'\t' && first != u'\n' && first != u'\r';
            if (lineGoesOn) {
                // Regions put back never overlap, so all restorations together stay linear.
                out.replace(article.outStart, article.outLength,
                            text.substr(article.textStart, article.textLength));
            }
            article.pending = false;
        }
        p = end;
    }
    if (copiedUpTo == 0) {
        return std::u16string(text);
    }
    out.append(text.substr(copiedUpTo));
    return out;
}

}  // namespace melvane

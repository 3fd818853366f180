#include "chords/sheet.h"

#include <array>
#include <span>

#include "chords/rewriting.h"
#include "chords/tokens.h"
#include "chords/transpose.h"

namespace melvane {
namespace {

using chords::Conventions;
using chords::Form;
using chords::LineEdits;
using chords::Note;
using chords::Token;

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
    chords::Rewriter rewriter(line, starts, settings.steps, settings.spelling >= 1, conventions,
                              edits);
    chords::ForEachMovingChord(line, rewriter);
    return !edits.edits.empty();
}

}  // namespace

SheetTransposer::SheetTransposer(const NoteTable& table, const TransposeSettings& settings)
    : table_(table), settings_(settings) {}

void SheetTransposer::Learn(std::u16string_view line) {
    if (settings_.recognition == Recognition::Classic) {
        return;
    }
    chords::ForEachMovingChord(line, [this](const Token& token, bool) {
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
        moved.push_back(chords::ApplyToPiece(line, starts, i, edits, firstEdit));
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

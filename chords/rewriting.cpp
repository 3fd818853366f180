#include "chords/rewriting.h"

#include <algorithm>

#include "chords/characters.h"
#include "chords/transpose.h"

namespace melvane::chords {
namespace {

// The piece holding line position `position`; pieces hold [starts[i], starts[i+1]).
std::size_t PieceAt(std::span<const std::size_t> starts, std::size_t position) {
    if (starts.size() <= 2) {
        return 0;
    }
    const auto it = std::upper_bound(starts.begin(), starts.end() - 1, position);
    return static_cast<std::size_t>(it - starts.begin()) - 1;
}

}  // namespace

void Rewriter::Visit(const Token& token, bool onChordLine) {
    const Chord& chord = token.chord;
    if (declaration_ != nullptr && token.end > declaration_->start) {
        const bool tonic = token.start <= declaration_->start;
        MoveDeclaration();
        if (tonic) {
            return;  // the declared key's tonic, moved in the phrase's own form
        }
    }
    NoteName rootName;
    NoteName bassName{};
    NamesOf(token, rootName, bassName);
    if (result_.direct != nullptr) {
        // One piece: each note is replaced where it stands, the text between them stays.
        std::ptrdiff_t growth = ReplaceNote(chord.root, rootName);
        if (chord.hasBass) {
            growth += ReplaceNote(chord.bass, bassName);
        }
        if (onChordLine && growth != 0) {
            KeepColumn(token, growth);
        }
        return;
    }
    // The token from its root on as it will read; the decoration before it stays.
    const std::size_t from = chord.root.start;
    now_.clear();
    now_.append(rootName.View());
    std::size_t rest = chord.root.start + chord.root.length;
    if (chord.hasBass) {
        now_.append(line_.substr(rest, chord.bass.start - rest));
        now_.append(bassName.View());
        rest = chord.bass.start + chord.bass.length;
    }
    now_.append(line_.substr(rest, token.end - rest));

    const std::u16string_view old = line_.substr(from, token.end - from);
    const std::u16string_view now(now_.data(), now_.size());
    if (old == now) {
        return;
    }
    const auto [prefix, suffix] = SharedEndsOf(old, now);
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

// Writes the note's new name in a one-piece line; returns how much it grew.
inline std::ptrdiff_t Rewriter::ReplaceNote(const Note& note, const NoteName& name) {
    if (name.View() == line_.substr(note.start, note.length)) {
        return 0;
    }
    AddEdit(note.start, note.length, name.View(), 0);
    return static_cast<std::ptrdiff_t>(name.length) - static_cast<std::ptrdiff_t>(note.length);
}

inline void Rewriter::NamesOf(const Token& token, NoteName& root, NoteName& bass) const {
    const Chord& chord = token.chord;
    if (keys_ != nullptr) {
        keys_->Spell(line_, token, conventions_, root, bass);
        return;
    }
    root =
        MovedName(chord.root, chord.hasBass ? &chord.bass : nullptr, shift_, flats_, conventions_);
    if (chord.hasBass) {
        bass = MovedName(chord.bass, &chord.root, shift_, flats_, conventions_);
    }
}

void Rewriter::MoveDeclaration() {
    const KeyDeclaration& declaration = *declaration_;
    declaration_ = nullptr;
    const NoteName name = keys_->DeclarationName(conventions_);
    if (name.View() == line_.substr(declaration.start, declaration.length)) {
        return;
    }
    const std::size_t piece = result_.direct != nullptr ? 0 : PieceAt(starts_, declaration.start);
    if (Writable(piece)) {
        AddEdit(declaration.start, declaration.length, name.View(), piece);
    }
}

inline void Rewriter::AddEdit(std::size_t position, std::size_t remove, std::u16string_view text,
                              std::size_t piece) {
    if (result_.direct != nullptr) {
        std::u16string& out = *result_.direct;
        out.append(line_.substr(result_.copied, position - result_.copied));
        for (char16_t c : text) {  // a name or a few spaces: no call for so little
            out.push_back(c);
        }
        result_.copied = position + remove;
        return;
    }
    result_.edits.push_back({position, remove, result_.inserted.size(), text.size(), piece});
    result_.inserted.append(text);
}

// A chord that grew gives back spaces after it, one that shrank gets spaces added, so the next
// chord stays above its syllable.
inline void Rewriter::KeepColumn(const Token& token, std::ptrdiff_t growth) {
    std::size_t spacesEnd = token.end;
    while (spacesEnd < line_.size() && line_[spacesEnd] == u' ') {
        ++spacesEnd;
    }
    const std::size_t spaces = spacesEnd - token.end;
    const bool tokenFollows = spacesEnd < line_.size() && !IsSeparator(line_[spacesEnd]);
    if (spaces == 0 || !tokenFollows) {
        return;
    }
    if (result_.direct == nullptr) {
        KeepColumnAcrossPieces(token, growth, spacesEnd);
    } else if (growth > 0 && spaces >= 2) {
        AddEdit(token.end, std::min(static_cast<std::size_t>(growth), spaces - 1), {}, 0);
    } else if (growth < 0) {
        static constexpr std::u16string_view kSpaces = u"        ";
        for (std::size_t add = static_cast<std::size_t>(-growth); add > 0;) {
            const std::size_t now = std::min(add, kSpaces.size());
            AddEdit(token.end, 0, kSpaces.substr(0, now), 0);
            add -= now;
        }
    }
}

// The spaces may sit in other pieces than the chord (a run of their own, a text node): each
// piece that holds some gives or takes them, a stand-in never.
void Rewriter::KeepColumnAcrossPieces(const Token& token, std::ptrdiff_t growth,
                                      std::size_t spacesEnd) {
    if (growth > 0) {
        std::size_t remove = static_cast<std::size_t>(growth);
        const std::size_t last = spacesEnd - 1;  // one space always stays
        for (std::size_t at = token.end; remove > 0 && at < last;) {
            const std::size_t piece = PieceAt(starts_, at);
            const std::size_t stop = std::min(starts_[piece + 1], last);
            if (Writable(piece) && stop > at) {
                const std::size_t now = std::min(remove, stop - at);
                AddEdit(at, now, {}, piece);
                remove -= now;
            }
            at = std::max(stop, at + 1);
        }
        return;
    }
    std::size_t piece = PieceAt(starts_, token.end);
    if (!Writable(piece)) {
        piece = PieceAt(starts_, token.end - 1);  // the chord's own, where they join it
        if (!Writable(piece)) {
            return;
        }
    }
    static constexpr std::u16string_view kSpaces = u"        ";
    for (std::size_t add = static_cast<std::size_t>(-growth); add > 0;) {
        const std::size_t now = std::min(add, kSpaces.size());
        AddEdit(token.end, 0, kSpaces.substr(0, now), piece);
        add -= now;
    }
}

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

}  // namespace melvane::chords

// Rewriting a line's moving chords, and keeping its columns: a chord that grew or shrank on a
// chord line takes or gives spaces after it, so the next chord stays above its syllable. A line
// given in pieces (the runs of a document) keeps its changes as edits and shares them out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "chords/key_spelling.h"
#include "chords/small_vector.h"
#include "chords/spelling.h"
#include "chords/tokens.h"
#include "chords/transpose.h"

namespace melvane::chords {

// One change to the line: `remove` characters at `position` give way to inserted[from, +length).
// The insertion goes to piece `piece`; removals always go to the pieces that hold them.
struct Edit {
    std::size_t position;
    std::size_t remove;
    std::size_t from;
    std::size_t length;
    std::size_t piece;
};

// What two texts share at their start and at their end: the rest of `old` is what changed.
struct SharedEnds {
    std::size_t head;
    std::size_t tail;
};

inline SharedEnds SharedEndsOf(std::u16string_view old, std::u16string_view now) {
    std::size_t head = 0;
    while (head < old.size() && head < now.size() && old[head] == now[head]) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < old.size() - head && tail < now.size() - head &&
           old[old.size() - 1 - tail] == now[now.size() - 1 - tail]) {
        ++tail;
    }
    return {head, tail};
}

// Where a line's changes go. A line of several pieces keeps them as edits to share out among
// its pieces; a line of one piece is written at once, as its edits come left to right and never
// overlap.
struct LineEdits {
    std::u16string* direct = nullptr;  // the new text of a one-piece line
    std::size_t copied = 0;            // how much of the line `direct` has passed
    SmallVector<Edit, 16> edits;       // a chord line's few stay on the stack
    std::u16string inserted;
};

// Rewrites each chord it visits into `result`. The pieces hold [starts[i], starts[i+1]) of the
// line; those marked in `standIns` (empty, or one per piece) are never written back, so no edit
// goes to them.
class Rewriter final : public MovingChordVisitor {
  public:
    Rewriter(std::u16string_view line, std::span<const std::size_t> starts,
             std::span<const std::uint8_t> standIns, std::int64_t steps, bool flats,
             const Conventions& conventions, LineEdits& result)
        : line_(line),
          starts_(starts),
          standIns_(standIns),
          flats_(flats),
          conventions_(conventions),
          result_(result),
          shift_(ShiftPitch(0, steps)) {}

    // Spells by the keys of `keys` instead of by sharps or flats, and moves the line's key
    // declaration; Finish must follow the walk.
    void SpellByKey(const KeyStretches& keys) {
        keys_ = &keys;
        declaration_ = keys.LineDeclaration();
    }
    void Visit(const Token& token, bool onChordLine) override;
    void Finish() {
        if (declaration_ != nullptr) {
            MoveDeclaration();
        }
    }

  private:
    std::ptrdiff_t ReplaceNote(const Note& note, const NoteName& name);
    void NamesOf(const Token& token, NoteName& root, NoteName& bass) const;
    void MoveDeclaration();
    void AddEdit(std::size_t position, std::size_t remove, std::u16string_view text,
                 std::size_t piece);
    void KeepColumn(const Token& token, std::ptrdiff_t growth);
    void KeepColumnAcrossPieces(const Token& token, std::ptrdiff_t growth, std::size_t spacesEnd);
    bool Writable(std::size_t piece) const {
        return piece >= standIns_.size() || standIns_[piece] == 0;
    }

    std::u16string_view line_;
    std::span<const std::size_t> starts_;
    std::span<const std::uint8_t> standIns_;
    bool flats_;
    const Conventions& conventions_;
    LineEdits& result_;
    int shift_;  // the steps as a shift of a pitch, 0..11
    const KeyStretches* keys_ = nullptr;
    const KeyDeclaration* declaration_ = nullptr;  // not yet moved
    SmallVector<char16_t, 32> now_;  // a token as it will read; a usual one stays on the stack
};

// Piece `index` of the line with the edits applied. `firstEdit` carries over from piece to
// piece (start at 0), so a line's pieces cost one walk over its edits.
std::u16string ApplyToPiece(std::u16string_view line, std::span<const std::size_t> starts,
                            std::size_t index, const LineEdits& edits, std::size_t& firstEdit);

}  // namespace melvane::chords

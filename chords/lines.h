// A document's chords moved, whatever its format. The format lists its lines, each as pieces of
// text that carry where they live; the driver learns the sheet from every line, then transposes
// each line and hands back the new text of every piece that changed. The format only lists and
// applies: recognition, spelling and spreading a change over pieces happen here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chords/note_table.h"
#include "chords/sheet.h"

namespace melvane {

// Where a piece lives in its document (a text node's run, a w:t element, a line of a stream):
// the format's own handle, opaque here.
using PieceId = std::uint64_t;

// A piece that only stands for an element (a tab or spaces element, a separator between runs):
// it is read as part of its line and never written back; in classic recognition it separates
// texts.
inline constexpr PieceId kStandIn = ~PieceId{0};

struct LinePiece {
    std::u16string_view text;
    PieceId id = kStandIn;
    // Goes on with the text of the piece before it (a run after a run of the same word
    // processor text): classic recognition moves them together as one text.
    bool continues = false;
};

// What a format knows about a line beyond its text.
struct LineInfo {
    // A new song starts with this line (a heading, a page break, a title): the conventions of a
    // songbook's songs are learned one song at a time.
    bool songStart = false;
    // Set apart as a title is (all of it bold, or larger than what follows): a short line so
    // set apart that is no chord line starts a song too.
    bool title = false;
    // The line is a key's name alone, a directive's value ({key: Am}): a key declaration.
    bool keyValue = false;
};

// Where a format hands its lines, one at a time.
class TakeLine {
  public:
    using Take = std::function<void(std::span<const LinePiece> line, const LineInfo& info)>;
    explicit TakeLine(Take take) : take_(std::move(take)) {}
    void operator()(std::span<const LinePiece> line, const LineInfo& info = {}) const {
        take_(line, info);
    }

  private:
    Take take_;
};

// A format's side of the transposition.
class LineDocument {
  public:
    using TakeLine = melvane::TakeLine;

    virtual ~LineDocument() = default;
    // Hands every line to `take`, in document order. A line is a paragraph's text up to a line
    // break, without the break. Called once per pass: twice when NeedsLearning, else once.
    virtual void ListLines(const TakeLine& take) = 0;
    // A changed piece's new text, given while `take` runs for the line that holds it. The view
    // lives until `take` returns.
    virtual void Apply(PieceId piece, std::u16string_view text) = 0;
};

// True when every line is read once to learn the sheet before any is transposed; a format
// that can read its lines only once (a stream) keeps them for a second pass.
inline bool NeedsLearning(const TransposeSettings& settings) {
    return settings.recognition == Recognition::SheetAware;
}

// Transposes every line of `document`; returns how many pieces changed.
//
// Sheet-aware recognition reads each line as one text (stand-ins included) and spreads a
// changed chord over the pieces it spans. Classic recognition moves every text on its own: a
// piece, with the pieces that continue it.
std::size_t TransposeLines(LineDocument& document, const NoteTable& notes,
                           const TransposeSettings& settings);

// Spreads a changed text back over the texts it was joined from. Each token that changed has
// its changed stretch (the token minus its unchanged start and end) put into the text that held
// the stretch's first character and removed from the later texts.
std::vector<std::u16string> SpreadChange(const std::vector<std::u16string_view>& texts,
                                         std::u16string_view changed);

}  // namespace melvane

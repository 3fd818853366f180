#include "chords/lines.h"

#include <algorithm>

#include "chords/rewriting.h"
#include "chords/tokens.h"
#include "chords/transpose.h"

namespace melvane {
namespace {

// Every chord starts with a note letter, so a text without one has nothing to move: most lyrics
// are passed by here without a copy. Classic chords are upper case only.
bool MayHoldChord(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= u'A' && c <= u'H'; });
}

bool MayHoldAnyChord(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'A' && c <= u'H') || (c >= u'a' && c <= u'h');
    });
}

class Driver {
  public:
    Driver(LineDocument& document, const NoteTable& notes, const TransposeSettings& settings)
        : document_(document), notes_(notes), sheet_(notes, settings) {}

    void Learn(std::span<const LinePiece> line, const LineInfo& info) {
        const std::u16string_view text = Joined(line);
        if (StartsSong(text, info)) {
            sheet_.StartSong();
        }
        sheet_.Learn(text, info.keyValue);
    }

    void Transpose(std::span<const LinePiece> line, const LineInfo& info) {
        if (NeedsLearning(sheet_.Settings())) {
            // The same boundaries as in Learn: both passes see the same lines.
            if (StartsSong(Joined(line), info)) {
                sheet_.UseSong(++song_);
            } else if (song_ == 0 && !usingSongs_) {
                sheet_.UseSong(0);
            }
            usingSongs_ = true;
            sheet_.UseLine(line_++);
            TransposeSheetLine(line);
        } else {
            TransposeTexts(line);
        }
    }

    std::size_t Changed() const { return changed_; }
    KeyReport Keys() const {
        const chords::KeyStretches* keys = sheet_.KeySpelling();
        return keys != nullptr ? keys->Keys() : KeyReport{};
    }

  private:
    std::u16string_view Joined(std::span<const LinePiece> line) {
        if (line.size() == 1) {
            return line.front().text;
        }
        joined_.clear();
        for (const LinePiece& piece : line) {
            joined_.append(piece.text);
        }
        return joined_;
    }

    // A heading or page break, or a short title that is no chord line.
    static bool StartsSong(std::u16string_view text, const LineInfo& info) {
        return info.songStart || (info.title && chords::MayBeTitle(text));
    }

    void Apply(const LinePiece& piece, std::u16string_view text) {
        document_.Apply(piece.id, text);
        ++changed_;
    }

    void TransposeSheetLine(std::span<const LinePiece> line) {
        if (line.size() == 1) {
            if (line.front().id != kStandIn) {
                moved_.clear();
                if (sheet_.TransposeLineInto(line.front().text, moved_)) {
                    Apply(line.front(), moved_);
                }
            }
            return;
        }
        texts_.clear();
        standIns_.clear();
        bool candidate = false;
        for (const LinePiece& piece : line) {
            texts_.push_back(piece.text);
            standIns_.push_back(piece.id == kStandIn ? 1 : 0);
            candidate = candidate || MayHoldAnyChord(piece.text);
        }
        if (!candidate) {
            return;
        }
        const std::vector<std::u16string> moved = sheet_.TransposeLine(texts_, standIns_);
        for (std::size_t i = 0; i < line.size() && i < moved.size(); ++i) {
            if (line[i].id != kStandIn && moved[i] != texts_[i]) {
                Apply(line[i], moved[i]);
            }
        }
    }

    // Classic: every text on its own, a piece together with those that continue it.
    void TransposeTexts(std::span<const LinePiece> line) {
        const TransposeSettings& settings = sheet_.Settings();
        std::size_t start = 0;
        while (start < line.size()) {
            if (line[start].id == kStandIn) {
                ++start;
                continue;
            }
            std::size_t end = start + 1;
            while (end < line.size() && line[end].continues && line[end].id != kStandIn) {
                ++end;
            }
            if (end == start + 1) {
                const std::u16string_view text = line[start].text;
                if (MayHoldChord(text)) {
                    const std::u16string moved =
                        TransposeText(notes_, text, settings.steps, settings.spelling);
                    if (moved != text) {
                        Apply(line[start], moved);
                    }
                }
            } else {
                TransposeJoined(line.subspan(start, end - start));
            }
            start = end;
        }
    }

    void TransposeJoined(std::span<const LinePiece> pieces) {
        const TransposeSettings& settings = sheet_.Settings();
        texts_.clear();
        joined_.clear();
        for (const LinePiece& piece : pieces) {
            texts_.push_back(piece.text);
            joined_.append(piece.text);
        }
        const std::u16string moved =
            TransposeText(notes_, joined_, settings.steps, settings.spelling);
        if (moved == joined_) {
            return;
        }
        const std::vector<std::u16string> spread = SpreadChange(texts_, moved);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (spread[i] != texts_[i]) {
                Apply(pieces[i], spread[i]);
            }
        }
    }

    LineDocument& document_;
    const NoteTable& notes_;
    SheetTransposer sheet_;
    std::size_t changed_ = 0;
    std::size_t song_ = 0;  // in the second pass
    std::size_t line_ = 0;
    bool usingSongs_ = false;
    // Kept from line to line: a songbook has tens of thousands of lines.
    std::u16string joined_;
    std::u16string moved_;
    std::vector<std::u16string_view> texts_;
    std::vector<std::uint8_t> standIns_;
};

// ---- spreading a change over the texts it was joined from ------------------------------

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\u00A0';
}

// Alternating stretches of blanks and of other characters.
std::vector<std::u16string_view> Chunks(std::u16string_view text) {
    std::vector<std::u16string_view> chunks;
    std::size_t start = 0;
    for (std::size_t i = 1; i <= text.size(); ++i) {
        if (i == text.size() || IsBlank(text[i]) != IsBlank(text[start])) {
            chunks.push_back(text.substr(start, i - start));
            start = i;
        }
    }
    return chunks;
}

// The index of the text holding the joined position, the first non-empty one at a boundary.
std::size_t Holder(std::span<const std::size_t> starts, std::size_t position) {
    const auto next = std::upper_bound(starts.begin(), starts.end(), position);
    return static_cast<std::size_t>(next - starts.begin()) - 1;
}

}  // namespace

std::size_t TransposeLines(LineDocument& document, const NoteTable& notes,
                           const TransposeSettings& settings) {
    Driver driver(document, notes, settings);
    if (NeedsLearning(settings)) {
        document.ListLines(TakeLine([&driver](std::span<const LinePiece> line,
                                              const LineInfo& info) { driver.Learn(line, info); }));
    }
    document.ListLines(TakeLine([&driver](std::span<const LinePiece> line, const LineInfo& info) {
        driver.Transpose(line, info);
    }));
    if (settings.keyReport != nullptr) {
        *settings.keyReport = driver.Keys();
    }
    return driver.Changed();
}

std::vector<std::u16string> SpreadChange(const std::vector<std::u16string_view>& texts,
                                         std::u16string_view changed) {
    std::u16string joined;
    std::vector<std::size_t> starts;  // each text's, then the end
    for (std::u16string_view text : texts) {
        starts.push_back(joined.size());
        joined += text;
    }
    starts.push_back(joined.size());
    const std::span<const std::size_t> textStarts(starts.data(), texts.size());

    // The changed stretch of each token, as an edit for the text that holds its first character
    // (a pure insertion: the character before it), shared out as the sheet's own edits are.
    chords::LineEdits edits;
    const auto addEdit = [&](std::size_t offset, std::u16string_view before,
                             std::u16string_view after) {
        if (before == after) {
            return;
        }
        const auto [head, tail] = chords::SharedEndsOf(before, after);
        const std::size_t position = offset + head;
        const std::size_t remove = before.size() - head - tail;
        const std::u16string_view insert = after.substr(head, after.size() - head - tail);
        const std::size_t at = remove == 0 && position > 0 ? position - 1 : position;
        edits.edits.push_back(
            {position, remove, edits.inserted.size(), insert.size(),
             Holder(textStarts, std::min(at, joined.empty() ? 0 : joined.size() - 1))});
        edits.inserted += insert;
    };
    const std::vector<std::u16string_view> before = Chunks(joined);
    const std::vector<std::u16string_view> after = Chunks(changed);
    bool aligned = before.size() == after.size();
    for (std::size_t i = 0; aligned && i < before.size(); ++i) {
        aligned = IsBlank(before[i].front()) == IsBlank(after[i].front()) &&
                  (!IsBlank(before[i].front()) || before[i] == after[i]);
    }
    if (aligned) {
        std::size_t offset = 0;
        for (std::size_t i = 0; i < before.size(); ++i) {
            addEdit(offset, before[i], after[i]);
            offset += before[i].size();
        }
    } else {
        addEdit(0, joined, changed);
    }

    std::vector<std::u16string> result;
    result.reserve(texts.size());
    std::size_t firstEdit = 0;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        result.push_back(chords::ApplyToPiece(joined, starts, k, edits, firstEdit));
    }
    return result;
}

}  // namespace melvane

#include "chords/lines.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace melvane {
namespace {

const NoteTable& Notes() {
    static const NoteTable notes = BuildNoteTables();
    return notes;
}

// A document of lines given as pieces; "|" between pieces, "+" before a piece that continues
// the one before, "~" for a stand-in (read as a tab). Applied texts are kept by piece.
class FakeDocument : public LineDocument {
  public:
    explicit FakeDocument(std::vector<std::u16string> lines) : lines_(std::move(lines)) {}

    void ListLines(const TakeLine& take) override {
        ++passes;
        PieceId id = 0;
        for (const std::u16string& line : lines_) {
            std::vector<std::u16string> texts;
            std::vector<LinePiece> pieces;
            std::size_t start = 0;
            for (std::size_t i = 0; i <= line.size(); ++i) {
                if (i == line.size() || line[i] == u'|') {
                    texts.push_back(line.substr(start, i - start));
                    start = i + 1;
                }
            }
            for (const std::u16string& text : texts) {
                const bool continues = !text.empty() && text.front() == u'+';
                if (text == u"~") {
                    pieces.push_back({u"\t"});
                } else {
                    pieces.push_back({std::u16string_view(text).substr(continues ? 1 : 0), id,
                                      continues});
                }
                ++id;
            }
            take(pieces);
        }
    }

    void Apply(PieceId piece, std::u16string_view text) override {
        applied[piece] = std::u16string(text);
    }

    int passes = 0;
    std::map<PieceId, std::u16string> applied;

  private:
    std::vector<std::u16string> lines_;
};

TEST(TransposeLines, ClassicMovesEachTextAndSheetAwareEachLine) {
    const struct {
        Recognition recognition;
        std::u16string line;
        std::map<PieceId, std::u16string> applied;
    } cases[] = {
        // Classic: pieces alone, unless they continue one another; a stand-in parts them.
        {Recognition::Classic, u"A|m", {{0, u"H"}}},
        {Recognition::Classic, u"A|+m G", {{0, u"H"}, {1, u"m A"}}},
        {Recognition::Classic, u"C|~|+G", {{0, u"D"}, {2, u"A"}}},
        {Recognition::Classic, u"la la", {}},
        // Sheet-aware: the line is one text; a stand-in is read, never written.
        {Recognition::SheetAware, u"A|m", {{0, u"B"}}},
        {Recognition::SheetAware, u"C|~|G", {{0, u"D"}, {2, u"A"}}},
        {Recognition::SheetAware, u"Am", {{0, u"Bm"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
        FakeDocument document({c.line});
        TransposeSettings settings{.steps = 2, .recognition = c.recognition};
        EXPECT_EQ(TransposeLines(document, Notes(), settings), c.applied.size());
        EXPECT_EQ(document.applied, c.applied);
        EXPECT_EQ(document.passes, c.recognition == Recognition::SheetAware ? 2 : 1);
    }
}

struct SpreadCase {
    std::vector<std::u16string> texts;
    std::u16string changed;
    std::vector<std::u16string> expected;
};

TEST(SpreadChange, ChangedStretchGoesToTheTextOfItsFirstCharacter) {
    const std::vector<SpreadCase> cases = {
        {{u"A", u"m"}, u"Hm", {u"H", u"m"}},
        {{u"F", u"#m"}, u"Gm", {u"G", u"m"}},
        {{u"[", u"Am]"}, u"[Hm]", {u"[", u"Hm]"}},
        {{u"G", u"b Em"}, u"F# Fm", {u"F#", u" Fm"}},
        {{u"C", u""}, u"C#", {u"C#", u""}},
        {{u"", u"C"}, u"C#", {u"", u"C#"}},
        {{u"D", u"b", u"7 x"}, u"D7 x", {u"D", u"", u"7 x"}},
        {{u"Am  ", u"C"}, u"Hm  D", {u"Hm  ", u"D"}},
        {{u"Ab", u"m"}, u"G#m", {u"G#", u"m"}},
    };
    for (const SpreadCase& c : cases) {
        const std::vector<std::u16string_view> texts(c.texts.begin(), c.texts.end());
        EXPECT_EQ(SpreadChange(texts, c.changed), c.expected)
            << std::string(c.changed.begin(), c.changed.end());
    }
}

TEST(SpreadChange, JoinedResultIsTheChangedText) {
    // Whatever the split, the texts put together again are the transposed piece.
    const std::u16string before = u"(Am) C  F#m7/C#  |  Gsus4 x";
    const std::u16string after = u"(Hm) D  G#m7/D#  |  Asus4 x";
    for (std::size_t a = 0; a <= before.size(); ++a) {
        for (std::size_t b = a; b <= before.size(); ++b) {
            const std::vector<std::u16string_view> texts = {
                std::u16string_view(before).substr(0, a),
                std::u16string_view(before).substr(a, b - a),
                std::u16string_view(before).substr(b)};
            std::u16string joined;
            for (const std::u16string& t : SpreadChange(texts, after)) {
                joined += t;
            }
            ASSERT_EQ(joined, after) << a << " " << b;
        }
    }
}

}  // namespace
}  // namespace melvane

#include "chords/note_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace melvane {
namespace {

const NoteTable& Table() {
    static const NoteTable table = BuildNoteTables();
    return table;
}

struct Cell {
    int row;
    int column;
    bool operator==(const Cell&) const = default;
};

// The first cell in search order (sharp column rows 1-13, then flat) whose pattern occurs.
Cell FirstMatch(std::u16string_view subject) {
    for (int column = 0; column <= 1; ++column) {
        for (int row = 1; row <= kNoteRows; ++row) {
            if (Table().Cell(row, column).pattern.Search(subject)) {
                return {row, column};
            }
        }
    }
    return {0, 0};
}

TEST(NoteTable, HoldsBothSpellingsWithTheirOwnPatterns) {
    const std::vector<std::u16string> sharps = {u"C", u"C#", u"D", u"D#", u"E", u"F", u"F#",
                                                u"G", u"G#", u"A", u"A#", u"H", u"B"};
    const std::vector<std::u16string> flats = {u"C", u"Db", u"D", u"Eb", u"E", u"F", u"Gb",
                                               u"G", u"Ab", u"A", u"Bb", u"H", u"B"};
    for (int row = 1; row <= kNoteRows; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(Table().Cell(row, kSharpColumn).name, sharps[row - 1]);
        EXPECT_EQ(Table().Cell(row, kFlatColumn).name, flats[row - 1]);
        EXPECT_TRUE(Table().Cell(row, kSharpColumn).pattern.IsCompiled());
        EXPECT_TRUE(Table().Cell(row, kFlatColumn).pattern.IsCompiled());
        // Each pattern recognises exactly its own plain name.
        for (int column = 0; column <= 1; ++column) {
            const std::u16string name = Table().Cell(row, column).name;
            EXPECT_TRUE(Table().Cell(row, column).pattern.Search(name + u" "));
        }
    }
}

struct PatternCase {
    std::u16string subject;
    Cell first;  // row 0: no cell matches
};

class ChordPatternSearch : public testing::TestWithParam<PatternCase> {};

TEST_P(ChordPatternSearch, FirstCellInSearchOrder) {
    EXPECT_EQ(FirstMatch(GetParam().subject), GetParam().first);
}

INSTANTIATE_TEST_SUITE_P(
    Recognised, ChordPatternSearch,
    testing::Values(PatternCase{u"Am ", {10, 0}}, PatternCase{u"F#7 ", {7, 0}},
                    PatternCase{u"Bbmaj7 ", {11, 1}}, PatternCase{u"C#m ", {2, 0}},
                    PatternCase{u"Bb ", {11, 1}}, PatternCase{u"Eb ", {4, 1}},
                    PatternCase{u"Db ", {2, 1}}, PatternCase{u"Hm ", {12, 0}},
                    PatternCase{u"B ", {13, 0}}, PatternCase{u"Cadd9sus4 ", {1, 0}},
                    PatternCase{u"Cm7add9 ", {1, 0}}, PatternCase{u"G7sus4 ", {8, 0}},
                    PatternCase{u"Cmaj7 ", {1, 0}}, PatternCase{u"Cm7maj7add2sus9 ", {1, 0}},
                    PatternCase{u"A//// ", {10, 0}}, PatternCase{u"xA ", {10, 0}},
                    PatternCase{u"/G ", {8, 0}}, PatternCase{u"Bär D ", {3, 0}}));

INSTANTIATE_TEST_SUITE_P(
    NotRecognised, ChordPatternSearch,
    testing::Values(
        PatternCase{u"Csus4add9 ", {0, 0}}, PatternCase{u"C9 ", {0, 0}},
        PatternCase{u"C6 ", {0, 0}}, PatternCase{u"Cdim ", {0, 0}}, PatternCase{u"Caug ", {0, 0}},
        PatternCase{u"C+ ", {0, 0}}, PatternCase{u"Cm6 ", {0, 0}}, PatternCase{u"Cmaj9 ", {0, 0}},
        PatternCase{u"C11 ", {0, 0}}, PatternCase{u"am ", {0, 0}}, PatternCase{u"Cb ", {0, 0}},
        PatternCase{u"Fb ", {0, 0}}, PatternCase{u"E# ", {0, 0}}, PatternCase{u"B# ", {0, 0}},
        PatternCase{u"A///// ", {0, 0}}, PatternCase{u"Am", {0, 0}}, PatternCase{u"Cadd1 ", {0, 0}},
        PatternCase{u"Csus ", {0, 0}}, PatternCase{u"Bär ", {0, 0}}, PatternCase{u"", {0, 0}}));

TEST(ChordPattern, NameFollowedByAnAccidentalIsNotThePlainNote) {
    EXPECT_FALSE(Table().Cell(1, kSharpColumn).pattern.Search(u"C#m "));
    EXPECT_FALSE(Table().Cell(13, kSharpColumn).pattern.Search(u"Bb "));
    EXPECT_FALSE(Table().Cell(13, kFlatColumn).pattern.Search(u"Bb "));
    EXPECT_FALSE(Table().Cell(5, kSharpColumn).pattern.Search(u"Eb "));
    // The flat column has no "Bbmaj7" in the sharp spelling's rows at all.
    for (int row = 1; row <= kNoteRows; ++row) {
        EXPECT_FALSE(Table().Cell(row, kSharpColumn).pattern.Search(u"Bbmaj7 ")) << row;
    }
}

TEST(ChordPattern, SearchesTextWithStraySurrogatesAndNulls) {
    const std::u16string subject = std::u16string(u"\xD800x\0", 3) + u"Am ";
    EXPECT_TRUE(Table().Cell(10, kSharpColumn).pattern.Search(subject));
}

TEST(ChordPattern, AFailedCompilationNeverMatches) {
    const ChordPattern broken = ChordPattern::Compile(u"C(m");
    EXPECT_FALSE(broken.IsCompiled());
    EXPECT_FALSE(broken.Search(u"C "));
    EXPECT_FALSE(broken.Search(u"C(m "));
    const ChordPattern empty;
    EXPECT_FALSE(empty.Search(u""));
}

}  // namespace
}  // namespace melvane

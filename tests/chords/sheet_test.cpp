#include "chords/sheet.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "chords/transpose.h"

namespace melvane {
namespace {

const NoteTable& Table() {
    static const NoteTable table = BuildNoteTables();
    return table;
}

std::vector<std::u16string_view> SplitLines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find(u'\n'); end != std::u16string_view::npos;
         end = text.find(u'\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Both passes over a sheet whose lines are joined by "\n".
std::u16string Sheet(std::u16string_view text, const TransposeSettings& settings) {
    SheetTransposer sheet(Table(), settings);
    const auto lines = SplitLines(text);
    for (std::u16string_view line : lines) {
        sheet.Learn(line);
    }
    std::u16string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += sheet.TransposeLine(lines[i]);
        if (i + 1 < lines.size()) {
            out += u'\n';
        }
    }
    return out;
}

TransposeSettings German(std::int64_t steps, int spelling = 0) {
    TransposeSettings settings;
    settings.steps = steps;
    settings.spelling = spelling;
    settings.germanReader = true;
    return settings;
}

TransposeSettings English(std::int64_t steps, int spelling = 0) {
    TransposeSettings settings = German(steps, spelling);
    settings.germanReader = false;
    return settings;
}

struct Case {
    const char* rule;
    TransposeSettings settings;
    std::u16string_view in;
    std::u16string_view out;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.rule;
}

class SheetCases : public testing::TestWithParam<Case> {};

TEST_P(SheetCases, Transposes) {
    const Case& c = GetParam();
    const std::u16string got = Sheet(c.in, c.settings);
    EXPECT_TRUE(got == c.out) << std::string(got.begin(), got.end());
}

// The examples of the feature request, word for word.
INSTANTIATE_TEST_SUITE_P(
    Examples, SheetCases,
    testing::Values(Case{"bars", German(2), u"| Em | A | D |", u"| F#m | H | E |"},
                    Case{"label", German(2), u"Intro: Am F C G", u"Intro: Hm G D A"},
                    Case{"suffixes", German(2), u"C6  Cdim  Dm7b5  Esus  C9  Am(maj7)",
                         u"D6  Ddim  Em7b5  F#sus D9  Hm(maj7)"},
                    Case{"decoration", German(2), u"(Am)  E.  C*", u"(Hm)  F#. D*"},
                    Case{"lower case", German(2), u"fis  h  e7  A", u"gis  cis fis7 H"},
                    Case{"english bars", English(2), u"| Em | A | D |", u"| F#m | B | E |"},
                    Case{"english", English(2), u"A7  D7", u"B7  E7"},
                    Case{"german custom B", German(2), u"d  B  C4  C  d\nh", u"e  C  D4  D  e\nc#"},
                    Case{"columns", German(1), u"C       G         Am     F",
                         u"C#      G#        A#m    F#"},
                    Case{"lyrics", German(2), u"THE END [VERSE 1]", u"THE END [VERSE 1]"},
                    Case{"am", German(2), u"Am Abend", u"Am Abend"}));

// Grouped cases per rule beyond the examples.
INSTANTIATE_TEST_SUITE_P(
    Rules, SheetCases,
    testing::Values(
        // Tokens and decoration.
        Case{"trailing marks", German(2), u"Am)  E.  C*  G'  D,  F!", u"Hm)  F#. D*  A'  E,  G!"},
        Case{"leading marks", German(2), u"[C  {G  |D", u"[D  {A  |E"},
        // Control characters part no tokens, however far into a word they stand.
        Case{"control characters", German(2), u"fis h Zwischenspiel\x01und\x01so",
             u"gis cis Zwischenspiel\x01und\x01so"},
        // Broad grammar: German names, signs, suffix sequences, parentheses, bass.
        Case{"german names", German(2), u"Cis  Fis  Es  As  Des  Ges  His",
             u"Dis  Gis  F   Ais Dis  Gis  D"},
        Case{"shorthand", German(2), u"Cs  Fs  C", u"Ds  Gs  D"},
        Case{"music signs", German(2), u"C♯  D♭", u"D#  D#"},
        Case{"suffix sequences", German(2), u"Cmaj9 CM7 C7(b9) C6/9 C+ C° Cø Cmin7 C7sus4 Cadd11",
             u"Dmaj9 DM7 D7(b9) D6/9 D+ D° Dø Dmin7 D7sus4 Dadd11"},
        Case{"bass", German(2), u"C/G  Am/E  D/F#", u"D/A  Hm/F# E/G#"},
        Case{"not chords", German(2), u"hmm  A-----|  Amen", u"hmm  A-----|  Amen"},
        // Chord line test, per tab part.
        Case{"tab parts", German(2), u"…shining down on me.\t\tA E f# D",
             u"…shining down on me.\t\tH F# g# E"},
        Case{"neutral", German(2), u"N.C.  %  x2  (2x)  |:  C  :|",
             u"N.C.  %  x2  (2x)  |:  D  :|"},
        Case{"strophe label", German(2), u"Strophe 2: Am", u"Strophe 2: Hm"},
        // Other lines: only classic chords that start a token; the article and "Am".
        Case{"article", German(2), u"A little bird\nAm Brunnen vor dem Tore",
             u"A little bird\nAm Brunnen vor dem Tore"},
        Case{"lyric chord", German(2), u"G furchtbar treue Seele", u"A furchtbar treue Seele"},
        Case{"a chord after all", German(2), u"Singt A (2x)\nund A", u"Singt H (2x)\nund H"},
        Case{"shouting lyrics", German(2), u"THE END AND NC ARSCHLOCH TeppichmesserBb",
             u"THE END AND NC ARSCHLOCH TeppichmesserBb"},
        Case{"broad only on chord lines", German(2), u"es ist ein Ros entsprungen",
             u"es ist ein Ros entsprungen"},
        // Spelling follows the sheet.
        Case{"suffix down", German(-1), u"Es", u"D"},
        Case{"suffix flats", German(2, 1), u"Es  C", u"F   D"},
        Case{"as flats", German(1, 1), u"As  C", u"A   Des"},
        Case{"cis flats", German(1, 1), u"Cis  C", u"D    Des"},
        Case{"lower h", German(1), u"h  e", u"c  f"},
        Case{"majority sign", German(1), u"Fis  C#  D#  E", u"G    D   E   F"},
        Case{"majority suffix", German(1), u"Fis  Cis  D#  E", u"G    D    E   F"},
        Case{"suffix meets accidental", German(2), u"Fis  Cis  D#  E", u"Gis  Dis  F   Fis"},
        Case{"suffix needs one", German(2), u"Fis  Cis  E", u"Gis  Dis  Fis"},
        // B and H follow the sheet.
        Case{"german custom flats", German(1, 1), u"A  H  C", u"B  C  Db"},
        Case{"english B", German(1), u"B  A#  C", u"C  B   C#"},
        Case{"english B flats", German(-1, 1), u"B  C", u"Bb B"},
        Case{"lower means german", English(2), u"a  e", u"h  f#"},
        Case{"carriage return", German(2), u"C  G\r", u"D  A\r"}));

TEST(SheetNaming, OverridesTheReadersFallbackOnly) {
    TransposeSettings settings = German(2);
    settings.naming = NoteNaming::English;
    EXPECT_TRUE(Sheet(u"A7  D7", settings) == u"B7  E7");
    EXPECT_TRUE(Sheet(u"A7  D7\nH", settings) == u"H7  E7\nC#");
    settings = English(2);
    settings.naming = NoteNaming::German;
    EXPECT_TRUE(Sheet(u"A7  D7", settings) == u"H7  E7");
    EXPECT_TRUE(Sheet(u"A7  D7  B", settings) == u"B7  E7  C#");
}

// Pieces: the changed stretch goes to the piece holding its first character; columns are kept
// with the spaces of the whole line, in the piece that holds them, never in a stand-in.
TEST(SheetPieces, ChangedStretchGoesToTheFirstPiece) {
    const SheetTransposer sheet(Table(), German(2));
    struct Row {
        std::vector<std::u16string_view> in;
        std::vector<std::u16string> out;
    };
    const Row rows[] = {
        {{u"A", u"m  C"}, {u"H", u"m  D"}},
        {{u"F", u"is  C"}, {u"G", u"is  D"}},
        {{u"E", u"s", u"  C"}, {u"F", u"", u"   D"}},
        {{u"Am", u"\t", u"C"}, {u"Hm", u"\t", u"D"}},
        {{u"E", u"  ", u"C"}, {u"F#", u" ", u"D"}},
        {{u"E ", u" ", u"  C"}, {u"F#", u" ", u"  D"}},
        {{u"Eb", u"    ", u"Bb"}, {u"F", u"     ", u"C"}},
        {{u"E  ", u"C"}, {u"F# ", u"D"}},
        {{u"", u"C/", u"G  D"}, {u"", u"D/A", u"  E"}},
        {{u"lyrics", u" here"}, {u"lyrics", u" here"}},
    };
    for (const Row& row : rows) {
        const auto got = sheet.TransposeLine(row.in);
        EXPECT_EQ(got, row.out);
    }
    // A token that grows in a piece before: "Es" up two in flats is "F".
    const SheetTransposer flats(Table(), German(3, 1));
    EXPECT_EQ(flats.TransposeLine(std::vector<std::u16string_view>{u"E", u"s  C"}),
              (std::vector<std::u16string>{u"Ge", u"s Eb"}));
    // A stand-in (a tab or spaces element) is never written back: its spaces stay, the others
    // give or take.
    const std::uint8_t standIns[] = {0, 1, 0};
    const std::uint8_t notLast[] = {0, 0, 1, 0};
    EXPECT_EQ(sheet.TransposeLine(std::vector<std::u16string_view>{u"E", u"  ", u"C"}, standIns),
              (std::vector<std::u16string>{u"F#", u"  ", u"D"}));
    EXPECT_EQ(sheet.TransposeLine(std::vector<std::u16string_view>{u"Eb", u"  ", u"C"}, standIns),
              (std::vector<std::u16string>{u"F ", u"  ", u"D"}));
    EXPECT_EQ(
        sheet.TransposeLine(std::vector<std::u16string_view>{u"E", u"  ", u"  ", u"C"}, notLast),
        (std::vector<std::u16string>{u"F#", u" ", u"  ", u"D"}));
}

// Classic mode is the classic scan on every piece on its own.
TEST(SheetClassic, IsTransposeTextPerPiece) {
    TransposeSettings settings = German(2);
    settings.recognition = Recognition::Classic;
    SheetTransposer sheet(Table(), settings);
    const std::u16string_view pieces[] = {u"THE END", u"fis h", u"A little", u"Am\tC", u"Bb\r\n"};
    for (std::u16string_view piece : pieces) {
        sheet.Learn(piece);
    }
    for (std::u16string_view piece : pieces) {
        EXPECT_TRUE(sheet.TransposeLine(piece) == TransposeText(Table(), piece, 2, 0));
    }
    const auto moved =
        sheet.TransposeLine(std::vector<std::u16string_view>{pieces[0], pieces[2], pieces[3]});
    EXPECT_TRUE(moved[1] == TransposeText(Table(), pieces[2], 2, 0));
}

// Random lyrics without a chord-shaped token come back exactly as they were.
TEST(SheetProperty, LyricsWithoutChordShapesStay) {
    const std::u16string_view words[] = {
        u"the",   u"river",  u"runs", u"Herz",  u"über",   u"Bäume", u"Ev'ry", u"night",
        u"home",  u"Gloria", u"THE",  u"END",   u"[VERSE", u"1]",    u"Amen",  u"Bach",
        u"Heart", u"Chorus", u"hmm",  u"Abend", u"Fest",   u"Gott",  u"Dank",  u"ß"};
    const std::u16string_view gaps[] = {u" ", u"  ", u"\t", u" \t "};
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::u16string text;
        const int lines = 1 + static_cast<int>(rng() % 6);
        for (int l = 0; l < lines; ++l) {
            const int count = 1 + static_cast<int>(rng() % 8);
            for (int w = 0; w < count; ++w) {
                text += words[rng() % std::size(words)];
                text += gaps[rng() % std::size(gaps)];
            }
            text += rng() % 2 ? u"\r\n" : u"\n";
        }
        for (std::int64_t steps : {1, 2, -5}) {
            for (int spelling : {0, 1}) {
                ASSERT_TRUE(Sheet(text, German(steps, spelling)) == text)
                    << std::string(text.begin(), text.end());
            }
        }
    }
}

// A line given whole is written as its chords are rewritten; given as one piece it goes through
// the edit list shared out among pieces. Both must read the same.
TEST(SheetProperty, WholeLineMatchesItsOnePieceForm) {
    const std::u16string_view tokens[] = {u"Am",    u"C#",     u"Fis", u"(Es)",  u"h7",   u"A",
                                          u"G/H",   u"Bb",     u"|",   u"2x",    u"the",  u"little",
                                          u"Dm7b5", u"Intro:", u"E.",  u"Cmaj7", u"N.C.", u"fis"};
    const std::u16string_view gaps[] = {u" ", u"   ", u"\t", u"      "};
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::u16string line;
        const int count = 1 + static_cast<int>(rng() % 9);
        for (int t = 0; t < count; ++t) {
            line += tokens[rng() % std::size(tokens)];
            line += gaps[rng() % std::size(gaps)];
        }
        SheetTransposer sheet(Table(), German(static_cast<std::int64_t>(rng() % 23) - 11,
                                              static_cast<int>(rng() % 2)));
        sheet.Learn(line);
        const auto pieces = sheet.TransposeLine(std::vector<std::u16string_view>{line});
        ASSERT_EQ(pieces.size(), 1u);
        ASSERT_TRUE(sheet.TransposeLine(line) == pieces[0])
            << std::string(line.begin(), line.end());
    }
}

}  // namespace
}  // namespace melvane

#include "chords/transpose.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace melvane {
namespace {

const NoteTable& Table() {
    static const NoteTable table = BuildNoteTables();
    return table;
}

std::u16string Transpose(std::u16string_view text, int steps, int spelling = 0) {
    return TransposeText(Table(), text, steps, spelling);
}

struct TextCase {
    std::u16string text;
    int steps;
    int spelling;
    std::u16string expected;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << "steps " << c.steps << ", spelling " << c.spelling << ", text of " << c.text.size()
        << " units";
}

class TransposeTextCases : public testing::TestWithParam<TextCase> {};

TEST_P(TransposeTextCases, GivesTheExpectedText) {
    const TextCase& c = GetParam();
    EXPECT_TRUE(Transpose(c.text, c.steps, c.spelling) == c.expected);
}

INSTANTIATE_TEST_SUITE_P(MovesNotes, TransposeTextCases,
                         testing::Values(TextCase{u"Am  G  C", 2, 0, u"Hm  A  D"},
                                         TextCase{u"F#7", 2, 0, u"G#7"},
                                         TextCase{u"Bb", 2, 0, u"C"}, TextCase{u"Hm", 2, 0, u"C#m"},
                                         TextCase{u"A", 1, 0, u"A#"}, TextCase{u"A", 1, 1, u"Bb"},
                                         TextCase{u"E", 1, 0, u"F"}, TextCase{u"C", -1, 1, u"H"},
                                         TextCase{u"Db", -1, 1, u"C"}, TextCase{u"F", -1, 1, u"E"},
                                         TextCase{u"Bbmaj7 Ebsus4", 1, 1, u"Hmaj7 Esus4"},
                                         TextCase{u"Cm7add9 G7sus4", 5, 0, u"Fm7add9 C7sus4"},
                                         TextCase{u"G#m D#7", 3, 5, u"Hm Gb7"}));

INSTANTIATE_TEST_SUITE_P(RespellsAtZero, TransposeTextCases,
                         testing::Values(TextCase{u"B", 0, 0, u"H"}, TextCase{u"B H", 1, 0, u"C C"},
                                         TextCase{u"C#", 0, 1, u"Db"}, TextCase{u"Eb", 0, 0, u"D#"},
                                         TextCase{u"C D# F#m Bb B", 12, 0, u"C D# F#m A# H"},
                                         TextCase{u"C D# F#m Bb B", -12, 1, u"C Eb Gbm Bb H"}));

INSTANTIATE_TEST_SUITE_P(
    Tokens, TransposeTextCases,
    testing::Values(TextCase{u"C/G", 2, 0, u"D/A"}, TextCase{u"\rAm", 2, 0, u"\rHm"},
                    TextCase{u"Am\r\nC", 2, 0, u"Hm\r\nD"},
                    TextCase{u"\tG\t\tD", 2, 0, u"\tA\t\tE"}, TextCase{u"(Am)", 2, 0, u"(Am)"},
                    TextCase{u"Am,", 2, 0, u"Am,"}, TextCase{u"Am.", 2, 0, u"Am."},
                    TextCase{u"[Am]", 2, 0, u"[Am]"}, TextCase{u"|Am", 2, 0, u"|Hm"},
                    TextCase{u"Bär", 2, 0, u"Bär"},
                    TextCase{u"Öl Für Gäste", 2, 0, u"Öl Für Gäste"},
                    TextCase{u"EVE", 2, 0, u"F#VF#"}, TextCase{u"Eßen E", 2, 0, u"F#ßen F#"},
                    TextCase{u"A////", 3, 0, u"C////"}, TextCase{u"C\u00A0G", 2, 0, u"D\u00A0A"},
                    TextCase{u"   ", 5, 0, u"   "}, TextCase{u"", 5, 0, u""},
                    TextCase{u"  C  ", 2, 0, u"  D  "}, TextCase{u"Ich geh", 2, 0, u"Ich geh"}));

INSTANTIATE_TEST_SUITE_P(
    TheWordA, TransposeTextCases,
    testing::Values(
        TextCase{u"A little bird", 2, 0, u"A little bird"}, TextCase{u"A", 2, 0, u"H"},
        TextCase{u"A /", 2, 0, u"H /"}, TextCase{u"A\nlittle", 2, 0, u"H\nlittle"},
        TextCase{u"A\tlittle", 2, 0, u"H\tlittle"}, TextCase{u"A\rlittle", 2, 0, u"H\rlittle"},
        TextCase{u"A C little", 2, 0, u"A D little"}, TextCase{u"A A little", 2, 0, u"H A little"},
        TextCase{u"A  G  D\nA little", 2, 0, u"H  A  E\nA little"},
        // The article is put back exactly as it stood, with what followed it.
        TextCase{u"(A little", 2, 0, u"(A little"},
        TextCase{u"\"A little\"", 2, 0, u"\"A little\""}, TextCase{u"A/little", 2, 0, u"A/little"},
        TextCase{u"A\u00A0little", 1, 1, u"A\u00A0little"},
        TextCase{u"A   little", 2, 0, u"A   little"}));

TEST(TransposeText, BAndHAreOneNoteAtEveryStepInBothSpellings) {
    const std::u16string sharps[] = {u"C",  u"C#", u"D",  u"D#", u"E",  u"F",
                                     u"F#", u"G",  u"G#", u"A",  u"A#", u"H"};
    const std::u16string flats[] = {u"C",  u"Db", u"D",  u"Eb", u"E",  u"F",
                                    u"Gb", u"G",  u"Ab", u"A",  u"Bb", u"H"};
    for (int steps = -12; steps <= 12; ++steps) {
        for (int spelling = 0; spelling <= 1; ++spelling) {
            SCOPED_TRACE(testing::Message() << "steps " << steps << " spelling " << spelling);
            const int index = ((11 + steps) % 12 + 12) % 12;
            const std::u16string& expected = spelling == 0 ? sharps[index] : flats[index];
            EXPECT_TRUE(Transpose(u"B", steps, spelling) == expected);
            EXPECT_TRUE(Transpose(u"H", steps, spelling) == expected);
            EXPECT_TRUE(Transpose(u"Bm7", steps, spelling) == expected + u"m7");
        }
    }
}

TEST(ShiftNoteIndex, WrapsOnceAroundTheOctave) {
    EXPECT_EQ(ShiftNoteIndex(12, 1), 1);
    EXPECT_EQ(ShiftNoteIndex(1, -1), 12);
    EXPECT_EQ(ShiftNoteIndex(13, 1), 1);
    EXPECT_EQ(ShiftNoteIndex(13, 0), 12);
    EXPECT_EQ(ShiftNoteIndex(1, 12), 1);
    EXPECT_EQ(ShiftNoteIndex(12, -12), 12);
    // Steps beyond an octave stay on the table instead of running off it.
    EXPECT_EQ(ShiftNoteIndex(1, 25), 2);
    EXPECT_EQ(ShiftNoteIndex(1, -25), 12);
}

// A random chord line in one spelling, the way a musician types it.
std::u16string RandomChordLine(std::mt19937& rng, int spelling) {
    static const std::vector<std::u16string> sharps = {u"C",  u"C#", u"D",  u"D#", u"E",  u"F",
                                                       u"F#", u"G",  u"G#", u"A",  u"A#", u"H"};
    static const std::vector<std::u16string> flats = {u"C",  u"Db", u"D",  u"Eb", u"E",  u"F",
                                                      u"Gb", u"G",  u"Ab", u"A",  u"Bb", u"H"};
    static const std::vector<std::u16string> suffixes = {
        u"", u"m", u"7", u"m7", u"maj7", u"sus4", u"add9", u"m7add9", u"7sus4", u"/"};
    const auto& names = spelling == 0 ? sharps : flats;
    std::u16string line;
    const int chords = 1 + static_cast<int>(rng() % 6);
    for (int i = 0; i < chords; ++i) {
        line += std::u16string(1 + rng() % 4, u' ');
        line += names[rng() % names.size()] + suffixes[rng() % suffixes.size()];
    }
    return line + (rng() % 2 ? u"\r" : u"");
}

TEST(TransposeText, ChordLinesSurviveARoundTripInTheirSpelling) {
    std::mt19937 rng(7);
    for (int spelling = 0; spelling <= 1; ++spelling) {
        for (int i = 0; i < 400; ++i) {
            const std::u16string line = RandomChordLine(rng, spelling);
            const int steps = static_cast<int>(rng() % 25) - 12;
            const std::u16string there = Transpose(line, steps, spelling);
            EXPECT_TRUE(Transpose(there, -steps, spelling) == line)
                << "steps " << steps << " spelling " << spelling;
        }
    }
    // "B" is read as "H" and comes back written as "H".
    EXPECT_TRUE(Transpose(Transpose(u"B Bm7 F", 3, 0), -3, 0) == u"H Hm7 F");
}

// Splits a text into its tokens the way the scan does (spaces between them dropped).
std::vector<std::u16string> Tokens(std::u16string_view text) {
    std::vector<std::u16string> tokens;
    for (std::size_t p = 0; p < text.size();) {
        if (text[p] == u' ') {
            ++p;
            continue;
        }
        std::size_t end = p + 1;
        while (end < text.size() && ContinuesToken(text[end]))
            ++end;
        tokens.emplace_back(text.substr(p, end - p));
        p = end;
    }
    return tokens;
}

bool AnyCellMatches(const std::u16string& token) {
    for (int column = 0; column <= 1; ++column)
        for (int row = 1; row <= kNoteRows; ++row)
            if (Table().Cell(row, column).pattern.Search(token + u" "))
                return true;
    return false;
}

TEST(TransposeText, ArbitraryTextKeepsItsTokensAndEveryUnrecognisedOne) {
    const std::u16string alphabet =
        u"ABCDEFGHbm7#/ajsud249 \t\r\n(|.,äÄßx\u00A0\u00E9\xD800\xDC00\0";
    std::mt19937 rng(11);
    for (int i = 0; i < 3000; ++i) {
        std::u16string text;
        const std::size_t length = rng() % 40;
        for (std::size_t k = 0; k < length; ++k)
            text += alphabet[rng() % alphabet.size()];
        const int steps = static_cast<int>(rng() % 25) - 12;
        const std::u16string result = Transpose(text, steps, static_cast<int>(rng() % 2));

        const auto before = Tokens(text);
        const auto after = Tokens(result);
        ASSERT_EQ(before.size(), after.size());
        for (std::size_t t = 0; t < before.size(); ++t) {
            if (!AnyCellMatches(before[t])) {
                EXPECT_TRUE(before[t] == after[t]);
            }
        }
    }
}

}  // namespace
}  // namespace melvane

#include "chords/chord_grammar.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "chords/note_table.h"

namespace melvane::chords {
namespace {

std::string Narrow(std::u16string_view text) {
    return std::string(text.begin(), text.end());
}

struct Case {
    std::u16string_view token;
    Grammar grammar;
    std::u16string_view root;  // as it stands in the token; empty: not a chord
    std::int8_t accidental;
    Form form;
    std::u16string_view bass;  // empty: none
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << Narrow(c.token) << (c.grammar == Grammar::Broad ? " broad" : " narrow");
}

class ParseChordCases : public testing::TestWithParam<Case> {};

TEST_P(ParseChordCases, FindsTheNotes) {
    const Case& c = GetParam();
    Chord chord{};
    const bool parsed = ParseChord(c.token, c.grammar, chord);
    ASSERT_EQ(parsed, !c.root.empty());
    if (!parsed) {
        return;
    }
    EXPECT_EQ(Narrow(c.token.substr(chord.root.start, chord.root.length)), Narrow(c.root));
    EXPECT_EQ(chord.root.accidental, c.accidental);
    EXPECT_EQ(chord.root.form, c.form);
    EXPECT_EQ(chord.root.lower, c.root[0] >= u'a');
    ASSERT_EQ(chord.hasBass, !c.bass.empty());
    if (chord.hasBass) {
        EXPECT_EQ(Narrow(c.token.substr(chord.bass.start, chord.bass.length)), Narrow(c.bass));
    }
}

constexpr Grammar kBroad = Grammar::Broad;
constexpr Grammar kNarrow = Grammar::Narrow;

INSTANTIATE_TEST_SUITE_P(Broad, ParseChordCases,
                         testing::Values(Case{u"Am", kBroad, u"A", 0, Form::None, {}},
                                         Case{u"F#m7", kBroad, u"F#", 1, Form::Sign, {}},
                                         Case{u"B♭", kBroad, u"B♭", -1, Form::Sign, {}},
                                         Case{u"Fis", kBroad, u"Fis", 1, Form::Suffix, {}},
                                         Case{u"Des7", kBroad, u"Des", -1, Form::Suffix, {}},
                                         Case{u"Es", kBroad, u"Es", -1, Form::Suffix, {}},
                                         Case{u"Cs", kBroad, u"Cs", 1, Form::Short, {}},
                                         Case{u"h7", kBroad, u"h", 0, Form::None, {}},
                                         Case{u"Am/E", kBroad, u"A", 0, Form::None, u"E"},
                                         Case{u"D/fis", kBroad, u"D", 0, Form::None, u"fis"},
                                         Case{u"C6/9", kBroad, u"C", 0, Form::None, {}},
                                         Case{u"Dm7b5", kBroad, u"D", 0, Form::None, {}},
                                         Case{u"C7(b9)", kBroad, u"C", 0, Form::None, {}},
                                         Case{u"Cmaj7).", kBroad, u"C", 0, Form::None, {}},
                                         Case{u"C°", kBroad, u"C", 0, Form::None, {}},
                                         Case{u"C77", kBroad, {}, 0, Form::None, {}},
                                         Case{u"Bis", kBroad, {}, 0, Form::None, {}},
                                         Case{u"Hes", kBroad, {}, 0, Form::None, {}},
                                         Case{u"Amen", kBroad, {}, 0, Form::None, {}},
                                         Case{u"C/", kBroad, {}, 0, Form::None, {}},
                                         Case{u"", kBroad, {}, 0, Form::None, {}}));

INSTANTIATE_TEST_SUITE_P(Narrow, ParseChordCases,
                         testing::Values(Case{u"Am", kNarrow, u"A", 0, Form::None, {}},
                                         Case{u"Bbmaj7", kNarrow, u"Bb", -1, Form::Sign, {}},
                                         Case{u"C#madd9", kNarrow, u"C#", 1, Form::Sign, {}},
                                         Case{u"C/G", kNarrow, u"C", 0, Form::None, u"G"},
                                         Case{u"am", kNarrow, {}, 0, Form::None, {}},
                                         Case{u"Fis", kNarrow, {}, 0, Form::None, {}},
                                         Case{u"E#", kNarrow, {}, 0, Form::None, {}},
                                         Case{u"Cm7b5", kNarrow, {}, 0, Form::None, {}},
                                         Case{u"B♭", kNarrow, {}, 0, Form::None, {}}));

// The narrow grammar is the classic pattern read by hand. Random tokens, chord-like and not,
// must be chords to both or to neither: the compiled pattern, anchored, decides for the part
// before any bass slash; after it, only a bare note name of the table may stand.
class ClassicPatterns {
  public:
    ClassicPatterns() {
        for (const auto& column : kNoteNames) {
            for (std::u16string_view name : column) {
                patterns_.push_back(ChordPattern::Compile(u"^" + std::u16string(name) +
                                                          std::u16string(kChordPatternSuffix)));
            }
        }
    }
    bool Chord(std::u16string_view text) const {
        const std::u16string subject = std::u16string(text) + u" ";
        for (const ChordPattern& pattern : patterns_) {
            if (pattern.Search(subject)) {
                return true;
            }
        }
        return false;
    }

  private:
    std::vector<ChordPattern> patterns_;
};

bool IsTableName(std::u16string_view text) {
    for (const auto& column : kNoteNames) {
        for (std::u16string_view name : column) {
            if (text == name) {
                return true;
            }
        }
    }
    return false;
}

bool ClassicReading(const ClassicPatterns& classic, std::u16string_view token) {
    while (!token.empty() && IsTrailingDecoration(token.back())) {
        token.remove_suffix(1);
    }
    const std::size_t slash = token.find(u'/');
    if (slash == std::u16string_view::npos) {
        return classic.Chord(token);
    }
    return classic.Chord(token.substr(0, slash)) && IsTableName(token.substr(slash + 1));
}

TEST(NarrowGrammar, ReadsWhatTheClassicPatternReads) {
    const ClassicPatterns classic;
    const std::u16string_view roots[] = {u"A", u"B", u"C", u"E", u"H", u"G", u"a", u"X", u"N"};
    const std::u16string_view accidentals[] = {u"", u"", u"#", u"b", u"is", u"es", u"s", u"♯"};
    const std::u16string_view items[] = {u"m",    u"7",    u"maj7", u"add9", u"add2", u"sus4",
                                         u"sus1", u"maj",  u"add",  u"mm",   u"77",   u"dim",
                                         u"9",    u"mmaj", u"j7",   u"sus",  u"b5",   u"+"};
    const std::u16string_view tails[] = {u"", u"", u"", u")", u".", u"*", u":", u"!)"};
    const std::u16string_view alphabet = u"ABCDEFGHabdijmsu1279#/().";
    std::mt19937 rng(3);
    const auto pick = [&rng](const auto& from) { return from[rng() % std::size(from)]; };
    int chords = 0;
    for (int round = 0; round < 20000; ++round) {
        std::u16string token;
        if (round % 4 == 3) {
            for (std::size_t n = 1 + rng() % 8; n > 0; --n) {
                token += alphabet[rng() % alphabet.size()];
            }
        } else {
            token = std::u16string(pick(roots)) + std::u16string(pick(accidentals));
            for (std::size_t n = rng() % 4; n > 0; --n) {
                token += pick(items);
            }
            if (rng() % 4 == 0) {
                token += u"/" + std::u16string(pick(roots)) + std::u16string(pick(accidentals));
            }
            token += pick(tails);
        }
        Chord chord{};
        const bool narrow = ParseChord(token, Grammar::Narrow, chord);
        chords += narrow;
        ASSERT_EQ(narrow, ClassicReading(classic, token)) << Narrow(token);
    }
    EXPECT_GT(chords, 1000);  // the property was tested on chords, not only on words
}

}  // namespace
}  // namespace melvane::chords

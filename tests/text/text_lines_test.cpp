#include "text/text_lines.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace melvane {
namespace {

class StringSink final : public TextSink {
  public:
    bool Write(std::string_view bytes) override {
        text.append(bytes);
        return true;
    }
    std::string text;
};

const NoteTable& Notes() {
    static const NoteTable notes = BuildNoteTables();
    return notes;
}

TransposeSettings Settings(std::int64_t steps, bool classic) {
    return classic ? ClassicSettings(steps, 0) : TransposeSettings{.steps = steps};
}

std::string Whole(const std::string& bytes, std::int64_t steps, bool classic) {
    StringSink sink;
    TransposeTextBytes(bytes, ListingFor(bytes, false), Notes(), Settings(steps, classic), sink);
    return sink.text;
}

std::string Streamed(const std::string& bytes, std::int64_t steps, bool classic) {
    std::istringstream in(bytes);
    StringSink sink;
    EXPECT_TRUE(TransposeTextStream(in, Notes(), Settings(steps, classic), sink).written);
    return sink.text;
}

// Whole, and as a stream, in both recognitions.
void ExpectEverywhere(const std::string& input, const std::string& expected) {
    for (const bool classic : {false, true}) {
        EXPECT_EQ(Whole(input, 2, classic), expected) << input << " classic " << classic;
        EXPECT_EQ(Streamed(input, 2, classic), expected) << input << " classic " << classic;
    }
}

TEST(TextLines, LineEndsAndByteOrderMarksStayWhereTheyAre) {
    const std::string utf16Bom(
        "\xFF\xFE"
        "C\0 \0G\0\r\0\n\0",
        12);
    const std::string utf16Moved(
        "\xFF\xFE"
        "D\0 \0A\0\r\0\n\0",
        12);
    const struct {
        std::string input;
        std::string expected;
    } cases[] = {
        {"\xEF\xBB\xBF"
         "C G\n",
         "\xEF\xBB\xBF"
         "D A\n"},  // the mark hides no chord
        {"C   G\rla la\rF\r", "D   A\rla la\rG\r"},
        {"C\r\nG\rla\nF", "D\r\nA\rla\nG"},
        {"\r\n\r\n", "\r\n\r\n"},
        {"", ""},
        {utf16Bom, utf16Moved},
        {utf16Bom + "x", utf16Moved + "x"},  // an odd last byte is kept
        {"\xEF\xBB\xBF", "\xEF\xBB\xBF"},
    };
    for (const auto& c : cases) {
        ExpectEverywhere(c.input, c.expected);
    }
}

TEST(TextLines, ChordProMovesBracketedChordsAndTheKeyOnly) {
    const struct {
        std::string input;
        std::string expected;
    } cases[] = {
        {"[C]Some[G]where over\n", "[D]Some[A]where over\n"},
        {"Some[Dm]where, [E7]A little\n", "Some[Em]where, [F#7]A little\n"},
        {"{title: A B C}\n{key:C}\n{ key : Dm }\n[C]la\n",
         "{title: A B C}\n{key:D}\n{ key : Em }\n[D]la\n"},
        {"{transpose: 2}\n{chord: C}\n", "{transpose: 2}\n{chord: C}\n"},
        {"[G]la\n[Verse 1] A G\n", "[A]la\n[Verse 1] A G\n"},
        // Lines without brackets follow the sheet rules.
        {"{soc}\nG       C\nla la la\n", "{soc}\nA       D\nla la la\n"},
        {"[C]A[G]\n", "[D]A[A]\n"},
    };
    for (const auto& c : cases) {
        ExpectEverywhere(c.input, c.expected);
    }
}

TEST(TextLines, StreamsSplitNoLineEndAndNoCharacter) {
    // A line end, a byte order mark's line and a UTF-8 character across the 64 KiB reads.
    for (const std::size_t at : {std::size_t{65535}, std::size_t{65536}, std::size_t{65534}}) {
        const std::string head(at - 2, ' ');
        ExpectEverywhere(head + "C\r\nG\r\n", head + "D\r\nA\r\n");
        ExpectEverywhere(head + "\xC3\xA4 C G\n", head + "\xC3\xA4 D A\n");
    }
    std::string utf16("\xFE\xFF", 2);
    for (int i = 0; i < 40000; ++i) {
        utf16 += std::string("\0C\0\r\0\n", 6);
    }
    std::string moved(utf16);
    for (std::size_t i = 3; i < moved.size(); i += 6) {
        moved[i] = 'D';
    }
    ExpectEverywhere(utf16, moved);
}

// The same song as ChordPro and as chords over lyrics gives the same chords, whatever the steps,
// spelling and recognition.
TEST(TextLines, ChordProAndChordsOverLyricsAgree) {
    const std::vector<std::vector<std::pair<std::string, std::string>>> song = {
        {{"Am", "Some"}, {"F", "where o"}, {"C", "ver the "}, {"G", "rain"}},
        {{"Dm7", "Way "}, {"E7", "up "}, {"Am", "high"}},
        {{"Fmaj7", "There's a "}, {"G/B", "land "}, {"Bb", "that I "}, {"C#m", "heard"}},
        {{"Ebsus4", "of "}, {"F#", "once in a "}, {"Abm", "lul"}, {"Dadd9", "la"}},
    };
    std::string chordPro = "{title: Rainbow}\n";
    std::string twin;
    for (const auto& line : song) {
        std::string chords;
        std::string lyrics;
        for (const auto& [chord, words] : line) {
            chordPro += "[" + chord + "]" + words;
            chords +=
                chord + std::string(std::max(words.size(), chord.size() + 1) - chord.size(), ' ');
            lyrics +=
                words +
                std::string(chord.size() + 1 > words.size() ? chord.size() + 1 - words.size() : 0,
                            ' ');
        }
        chordPro += "\n";
        twin += chords + "\n" + lyrics + "\n";
    }
    const auto bracketed = [](const std::string& text) {
        std::vector<std::string> chords;
        for (std::size_t open = text.find('['); open != std::string::npos;
             open = text.find('[', open + 1)) {
            chords.push_back(text.substr(open + 1, text.find(']', open) - open - 1));
        }
        return chords;
    };
    const auto overLyrics = [](const std::string& text) {
        std::vector<std::string> chords;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            for (std::string word; words >> word;) {
                chords.push_back(word);
            }
            std::getline(lines, line);  // the lyrics
        }
        return chords;
    };
    for (std::int64_t steps = -11; steps <= 11; ++steps) {
        for (const int spelling : {0, 1}) {
            for (const bool classic : {false, true}) {
                TransposeSettings settings = Settings(steps, classic);
                settings.spelling = spelling;
                StringSink fromChordPro;
                StringSink fromTwin;
                TransposeTextBytes(chordPro, ListingFor(chordPro, false), Notes(), settings,
                                   fromChordPro);
                TransposeTextBytes(twin, ListingFor(twin, false), Notes(), settings, fromTwin);
                EXPECT_EQ(bracketed(fromChordPro.text).size(), 15u);
                EXPECT_EQ(bracketed(fromChordPro.text), overLyrics(fromTwin.text))
                    << steps << " spelling " << spelling << " classic " << classic << "\n"
                    << fromChordPro.text << fromTwin.text;
            }
        }
    }
}

TEST(TextLines, LinesAreReadAsAPersonSeesThem) {
    std::vector<std::u16string> lines;
    ReadTextLines(std::string("\xFF\xFE"
                              "C\0\r\0\xE4\0\r\0\n\0",
                              12),
                  lines);
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"C", u"ä"}));
}

}  // namespace
}  // namespace melvane

// What real songbooks do, through the line driver: every example of the songbook report, and
// lyrics that must never change.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "chords/lines.h"

namespace melvane {
namespace {

const NoteTable& Notes() {
    static const NoteTable notes = BuildNoteTables();
    return notes;
}

// A book of one-piece lines. "# " starts a heading (a new song), "* " a title paragraph (bold
// or larger); neither mark is part of the text.
class Book : public LineDocument {
  public:
    explicit Book(std::u16string_view text) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = text.find(u'\n', start);
            std::u16string_view line = text.substr(start, end - start);
            LineInfo info;
            if (line.starts_with(u"# ")) {
                info.songStart = true;
                line.remove_prefix(2);
            } else if (line.starts_with(u"* ")) {
                info.title = true;
                line.remove_prefix(2);
            }
            lines_.emplace_back(line);
            infos_.push_back(info);
            if (end == std::u16string_view::npos) {
                break;
            }
            start = end + 1;
        }
    }

    void ListLines(const TakeLine& take) override {
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const LinePiece piece{lines_[i], i};
            take(std::span<const LinePiece>(&piece, 1), infos_[i]);
        }
    }
    void Apply(PieceId piece, std::u16string_view text) override { lines_[piece] = text; }

    std::u16string Text() const {
        std::u16string text;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            text += (infos_[i].songStart ? u"# " : infos_[i].title ? u"* " : u"") + lines_[i];
            text += i + 1 < lines_.size() ? u"\n" : u"";
        }
        return text;
    }

  private:
    std::vector<std::u16string> lines_;
    std::vector<LineInfo> infos_;
};

TransposeSettings Reader(bool german, std::int64_t steps = 2) {
    TransposeSettings settings;
    settings.steps = steps;
    settings.germanReader = german;
    return settings;
}

std::u16string Transposed(std::u16string_view text, const TransposeSettings& settings) {
    Book book(text);
    TransposeLines(book, Notes(), settings);
    return book.Text();
}

struct Example {
    const char* why;
    bool germanReader;
    std::u16string_view in;
    std::u16string_view out;
};

void PrintTo(const Example& e, std::ostream* os) {
    *os << e.why;
}

class SongbookExamples : public testing::TestWithParam<Example> {};

TEST_P(SongbookExamples, MoveAsBuilt) {
    const Example& e = GetParam();
    const std::u16string got = Transposed(e.in, Reader(e.germanReader));
    EXPECT_TRUE(got == e.out) << std::string(got.begin(), got.end());
}

// Each example of the report at +2, in a song as books write it.
INSTANTIATE_TEST_SUITE_P(
    Report, SongbookExamples,
    testing::Values(
        // 1. Chords inline in the lyrics, in parentheses or brackets.
        Example{"bracketed article", false, u"(A) Well you can tell the world",
                u"(B) Well you can tell the world"},
        Example{"inside tokens, lower case", true,
                u"da-(C)-bei war'n da am (dm) Horizont\nrobi-(E)-net",
                u"da-(D)-bei war'n da am (em) Horizont\nrobi-(F#)-net"},
        Example{"in a row", false, u"(D) (G) (Bm)(A)", u"(E) (A) (C#m)(B)"},
        Example{"square brackets", true, u"Geh [a]aus mein [E7]Herz", u"Geh [h]aus mein [F#7]Herz"},
        Example{"words in brackets", true, u"(2x)  (stop)  (Refrain)", u"(2x)  (stop)  (Refrain)"},
        // 2. Lyrics changed by lower-case and German-suffix words.
        Example{"his", false, u"he (Am) drinks his (E7) liquor",
                u"he (Bm) drinks his (F#7) liquor"},
        Example{"as in a lower-case song", true, u"C  a  e  G\nListen as the crowd",
                u"D  h  f# A\nListen as the crowd"},
        Example{"lower-case word among chords", false, u"C  G  D  and  a  E  A",
                u"D  A  E  and  a  F# B"},
        Example{"lyrics-only German", true,
                u"Reich des Friedens, Gottes Reich, lebt es schon\nEs ist ein Ros entsprungen",
                u"Reich des Friedens, Gottes Reich, lebt es schon\nEs ist ein Ros entsprungen"},
        Example{"Spanish", true, u"oí a la muerte", u"oí a la muerte"},
        Example{"credits", false, u"Words: Ben E. King\nPart C. of the show",
                u"Words: Ben E. King\nPart C. of the show"},
        Example{"sentence with a colon", true, u"…will ich es auch haben:\nStrophe 2: Am",
                u"…will ich es auch haben:\nStrophe 2: Hm"},
        Example{"short label", false, u"Pre Chorus: Am F", u"Pre Chorus: Bm G"},
        // 3. One convention per song, not per book.
        Example{"English song in a German book", true,
                u"# Abendlied\nd   a   H7   e\nSo geht der Tag\n# Sweet Home\n(Em) (Bm) (Em)\n"
                u"G A D Bm",
                u"# Abendlied\ne   h   C#7  f#\nSo geht der Tag\n# Sweet Home\n(F#m) (C#m) (F#m)\n"
                u"A B E C#m"},
        Example{"a lyric word makes no song German", false,
                u"* River Song\nE   A   Em   B\nListen as the crowd",
                u"* River Song\nF#  B   F#m  C#\nListen as the crowd"},
        // 4. Tablature and fingering charts stay.
        Example{"tab page", false,
                u"Am   C\n|E A D G B e|\nE A D G B e\ne|---3---|\nB |x 2=4=4=4=2|\n"
                u"D:    xx0232      G:    320033",
                u"Bm   D\n|E A D G B e|\nE A D G B e\ne|---3---|\nB |x 2=4=4=4=2|\n"
                u"D:    xx0232      G:    320033"},
        // 5. Chords left unmoved.
        Example{"bass alone", false, u"/F#  /G#  /B\nAm/E  /F  /F#",
                u"/G#  /A#  /C#\nBm/F# /G  /G#"},
        Example{"Polish after the lyrics", true,
                u"Płynie rzeka tekst    h E h    G fis\nI woda płynie    a B H d",
                u"Płynie rzeka tekst    cis Fis cis  A gis\nI woda płynie    h C Cis e"},
        Example{"more suffixes", false, u"Dmb6  Amb6  CM7/6  E9/7  Dm(b6)",
                u"Emb6  Bmb6  DM7/6  F#9/7 Em(b6)"},
        Example{"fret position", true, u"Fsm        A(V)", u"Gsm        H(V)"},
        Example{"remarks after a chord", false, u"E5(VII)  B7(3)  C(stop)  G(2x)",
                u"F#5(VII) C#7(3) D(stop)  A(2x)"}));

// A title starts a song only when it is short and no chord line.
TEST(SongbookSongs, TitlesAndHeadingsPartSongs) {
    struct Row {
        const char* what;
        bool germanReader;
        std::u16string_view in;
        std::u16string_view out;
    };
    const Row rows[] = {
        // The English song's bare B keeps it English; the German one writes H.
        {"titles", true, u"* Zwei\nH  e  a  e\n* One\nB  E  A  E",
         u"* Zwei\nC# f# h  f#\n* One\nC# F# B  F#"},
        // A bold chord line is no title: one song, which writes H.
        {"bold chord line", true, u"H  e  a  e\n* B  E  A  E", u"C# f# h  f#\n* C  F# H  F#"},
        // A song that shows no B or H takes the book's.
        {"from the book", false, u"# Eins\nH  e  a  e\n# Zwei\nA  D  E  A",
         u"# Eins\nC# f# h  f#\n# Zwei\nH  E  F# H"},
    };
    for (const Row& row : rows) {
        const std::u16string got = Transposed(row.in, Reader(row.germanReader));
        EXPECT_TRUE(got == row.out) << row.what << ": " << std::string(got.begin(), got.end());
    }
}

// Lyrics in any language without a chord-shaped token outside chord lines and brackets: every
// line holds more plain words than tokens that look like notes, so none is a chord line.
TEST(SongbookProperty, LyricsInAnyLanguageStay) {
    const std::u16string_view plain[] = {
        u"the",    u"river",  u"Listen", u"crowd",  u"Reich",   u"Friedens", u"lebt",
        u"schon",  u"muerte", u"la",     u"oí",     u"King",    u"Part",     u"tekst",
        u"płynie", u"rzeka",  u"że",     u"nie",    u"chanson", u"dans",     u"le",
        u"isch",   u"Chuchi", u"Wort",   u"quiero", u"mon",     u"très",     u"Horizont"};
    const std::u16string_view tricky[] = {
        u"a",    u"e",   u"h",     u"as",   u"es",   u"des", u"his",    u"dis", u"fis",
        u"am",   u"E.",  u"C,",    u"Ben",  u"B.",   u"ade", u"haben:", u"Es",  u"Des",
        u"Dach", u"Fee", u"Geh",   u"Herz", u"ces",  u"gis", u"dem",    u"d'",  u"Ce",
        u"el",   u"de",  u"c'est", u"Bach", u"Gott", u"Ave"};
    std::mt19937 rng(19);
    for (int round = 0; round < 400; ++round) {
        std::u16string sheet;
        const int lines = 1 + static_cast<int>(rng() % 8);
        for (int l = 0; l < lines; ++l) {
            if (rng() % 5 == 0) {
                sheet += rng() % 2 ? u"# " : u"* ";
            }
            const int pairs = 1 + static_cast<int>(rng() % 5);
            for (int p = 0; p < pairs; ++p) {
                sheet += plain[rng() % std::size(plain)];
                sheet += rng() % 4 == 0 ? u"  " : u" ";
                sheet += tricky[rng() % std::size(tricky)];
                sheet += p + 1 < pairs ? u" " : u"";
            }
            sheet += l + 1 < lines ? u"\n" : u"";
        }
        for (const bool german : {false, true}) {
            const std::u16string got = Transposed(sheet, Reader(german, 1 + round % 11));
            ASSERT_TRUE(got == sheet) << std::string(sheet.begin(), sheet.end()) << "\n->\n"
                                      << std::string(got.begin(), got.end());
        }
    }
}

}  // namespace
}  // namespace melvane

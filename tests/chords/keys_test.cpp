#include "chords/keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chords/lines.h"

namespace melvane::chords {
namespace {

std::string Narrow(std::u16string_view text) {
    return std::string(text.begin(), text.end());
}

// A note's name in an English sheet, or in a German one (suffixes, B-flat "B", B-natural "H").
// `signs`: a German sheet that shows no German names writes "F#" and "Eb", as the sheet-aware
// pass always did; B-flat stays "B".
std::u16string Name(SpelledNote note, bool german = false, bool lower = false, bool signs = false) {
    const Form form = german && !signs ? Form::Suffix : Form::Sign;
    return std::u16string(SpelledName(note, form, lower, {german, german}).View());
}

std::u16string DeclarationLine(const SpelledKey& key, bool german) {
    const bool minor = key.mode == Mode::Minor;
    if (german) {
        return u"Tonart: " + Name(key.tonic, true, minor) + (minor ? u"-Moll" : u"-Dur");
    }
    return u"Key: " + Name(key.tonic) + (minor ? u"m" : u"");
}

// A chord symbol as the key arithmetic sees it, read the way a musician reads its suffix.
struct Read {
    ChordFacts facts;
    std::u16string_view suffix;
    bool sharp;  // the root has a sharp
};

Read ReadSymbol(std::u16string_view symbol, bool german) {
    Chord chord{};
    EXPECT_TRUE(ParseChord(symbol, Grammar::Broad, chord)) << Narrow(symbol);
    const std::size_t end = chord.hasBass ? chord.bass.start - 1 : symbol.size();
    const std::u16string_view suffix = symbol.substr(chord.root.length, end - chord.root.length);
    const auto has = [suffix](std::u16string_view s) { return suffix.find(s) != suffix.npos; };
    ChordFacts facts{PitchOf(chord.root, german), chord.hasBass,
                     chord.hasBass ? PitchOf(chord.bass, german) : 0};
    facts.lower = chord.root.lower;
    facts.minorMark =
        (suffix.starts_with(u"m") && !suffix.starts_with(u"maj")) || suffix.starts_with(u"-");
    facts.diminished = has(u"dim") || has(u"°") || has(u"ø") || has(u"m7b5");
    facts.augmented = has(u"aug") || has(u"+");
    facts.seventh = has(u"maj7")                 ? Seventh::Major
                    : has(u"dim7") || has(u"°7") ? Seventh::Diminished
                    : has(u"7") || has(u"ø")     ? Seventh::Minor
                                                 : Seventh::None;
    return {facts, suffix, chord.root.accidental > 0};
}

std::vector<Read> ReadSheet(std::u16string_view text, bool german = false) {
    std::vector<Read> sheet;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(u' ', start), text.size());
        sheet.push_back(ReadSymbol(text.substr(start, end - start), german));
        start = end + 1;
    }
    return sheet;
}

std::vector<ChordFacts> Song(std::u16string_view text, bool german = false) {
    std::vector<ChordFacts> song;
    for (const Read& read : ReadSheet(text, german)) {
        song.push_back(read.facts);
    }
    return song;
}

// The line with its key moved by `steps`, the ambiguous tonic as the declaration writes it.
std::u16string MoveDeclaration(std::u16string_view line, int steps) {
    const std::optional<KeyDeclaration> found = FindKeyDeclaration(line);
    if (!found) {
        return u"none";
    }
    const SpelledKey target = TargetKey(found->key, steps, found->written.accidental > 0);
    std::u16string out(line);
    return out.replace(found->start, found->length, DeclaredTonicName(*found, target).View());
}

// A sheet of one line of chords, after a line declaring its key if there is a "\n": moved by
// `steps` and spelled by the declared key, else by the key found in the chords, the ambiguous
// tonic written as the first chord on it writes it.
std::u16string Respell(std::u16string_view text, int steps, bool german = false) {
    const std::size_t split = text.find(u'\n');
    const std::u16string_view chords = split == text.npos ? text : text.substr(split + 1);
    const std::vector<Read> sheet = ReadSheet(chords, german);
    const std::vector<ChordFacts> song = Song(chords, german);
    std::optional<Key> key = DetectKey(song);
    bool sharp = false;
    std::u16string out;
    if (split != text.npos) {
        const auto declared = FindKeyDeclaration(text.substr(0, split));
        key = declared->key;
        sharp = declared->written.accidental > 0;
        out = MoveDeclaration(text.substr(0, split), steps) + u"\n";
    } else {
        for (const Read& read : sheet) {
            if (key && ShiftPitch(read.facts.root, 0) == key->tonic) {
                sharp = read.sharp;
                break;
            }
        }
    }
    if (!key) {
        return u"no key";
    }
    const SpelledKey target = TargetKey(*key, steps, sharp);
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        out += (i == 0 ? u"" : u" ") + Name(SpellRoot(song, i, target, steps), german);
        out += sheet[i].suffix;
        if (sheet[i].facts.hasBass) {
            out += u"/" + Name(SpellBass(song, i, target, steps), german);
        }
    }
    return out;
}

// A sheet of lines joined by "\n" through the document driver, spelled by key; a line starting
// with "#" starts a song. `report` gets the stretches' keys.
class LinesOf final : public LineDocument {
  public:
    explicit LinesOf(std::u16string_view text) : text_(text) {
        for (std::size_t start = 0;;) {
            const std::size_t end = std::min(text.find(u'\n', start), text.size());
            lines_.push_back(text.substr(start, end - start));
            if (end == text.size()) {
                break;
            }
            start = end + 1;
        }
        out_.assign(lines_.begin(), lines_.end());
    }
    void ListLines(const TakeLine& take) override {
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const LinePiece piece{lines_[i], i};
            take({&piece, 1}, {lines_[i].starts_with(u"#")});
        }
    }
    void Apply(PieceId piece, std::u16string_view text) override { out_[piece] = text; }
    std::u16string Text() const {
        std::u16string text;
        for (const std::u16string& line : out_) {
            text += (text.empty() && &line == &out_.front() ? u"" : u"\n") + line;
        }
        return text;
    }

  private:
    std::u16string_view text_;
    std::vector<std::u16string_view> lines_;
    std::vector<std::u16string> out_;
};

std::u16string ByKey(std::u16string_view text, int steps, KeyReport* report = nullptr,
                     bool german = false) {
    static const NoteTable notes;  // sheet-aware recognition needs no patterns
    TransposeSettings settings;
    settings.steps = steps;
    settings.spelling = kSpellByKey;
    settings.germanReader = german;
    settings.keyReport = report;
    LinesOf document(text);
    TransposeLines(document, notes, settings);
    return document.Text();
}

std::u16string Collapsed(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : text) {
        if (c != u' ' || out.empty() || out.back() != u' ') {
            out += c;
        }
    }
    return out;
}

// A German sheet shows German names ("Fis", "Es"), and that it reads a bare B as B-flat by
// those or an H.
bool ShowsGermanNames(std::u16string_view sheet) {
    for (std::u16string_view sign : {u"is", u"es", u"As", u"Es"}) {
        if (sheet.find(sign) != sheet.npos) {
            return true;
        }
    }
    return false;
}

bool ShowsGermanCustom(std::u16string_view sheet) {
    return ShowsGermanNames(sheet) || sheet.find(u'H') != sheet.npos;
}

// A key's scale spelled the textbook way, one letter per degree, minor with its natural sixth
// and seventh; `raised` adds minor's raised sixth and seventh.
std::vector<SpelledNote> Scale(const SpelledKey& key, bool raised) {
    const std::vector<int> steps = key.mode == Mode::Major ? std::vector<int>{0, 2, 4, 5, 7, 9, 11}
                                                           : std::vector<int>{0, 2, 3, 5, 7, 8, 10};
    std::vector<SpelledNote> notes;
    for (int degree = 0; degree < 7 + (raised && key.mode == Mode::Minor ? 2 : 0); ++degree) {
        const int step = degree < 7 ? degree : degree - 2;  // then the sixth and seventh raised
        const int letter = (key.tonic.letter + step) % 7;
        const int pitch = PitchOf(key.tonic) + steps[step] + (degree >= 7 ? 1 : 0);
        const int natural = PitchOf(SpelledNote{letter, 0});
        notes.push_back({letter, (pitch - natural + 30) % 12 - 6});
    }
    return notes;
}

// A chord of a progression as letters and semitones above the tonic, its suffix and its bass;
// `exception`: the passing diminished root or the chord-tone bass, whose letter the exceptions
// keep where the key alone would write the plain note.
struct Degree {
    int letters, semitones;
    std::u16string_view suffix;
    int bassLetters = -1, bassSemitones = 0;
    bool exception = false;
};

struct Progression {
    const char* name;
    Mode mode;
    std::vector<Degree> chords;
};

const std::vector<Progression>& Progressions() {
    static const std::vector<Progression> all = {
        {"I-V-vi-IV",
         Mode::Major,
         {{0, 0, u""}, {4, 7, u""}, {5, 9, u"m"}, {3, 5, u""}, {0, 0, u""}}},
        {"ii7-V7-I", Mode::Major, {{1, 2, u"m7"}, {4, 7, u"7"}, {0, 0, u"maj7"}}},
        {"I-bVII-IV", Mode::Major, {{0, 0, u""}, {6, 10, u""}, {3, 5, u""}, {0, 0, u""}}},
        {"I-III7-vi",
         Mode::Major,
         {{0, 0, u""}, {2, 4, u"7"}, {5, 9, u"m"}, {4, 7, u"7"}, {0, 0, u""}}},
        {"I-#i°-ii",
         Mode::Major,
         {{0, 0, u""}, {0, 1, u"dim", -1, 0, true}, {1, 2, u"m"}, {4, 7, u"7"}, {0, 0, u""}}},
        {"bass walk",
         Mode::Major,
         {{0, 0, u""},
          {0, 0, u"", 6, 11},
          {5, 9, u"m"},
          {5, 9, u"m", 4, 7},
          {3, 5, u""},
          {0, 0, u""}}},
        {"chord-tone basses",
         Mode::Major,
         {{0, 0, u""},
          {2, 4, u"", 4, 8, true},
          {5, 9, u"m"},
          {0, 0, u"7", 6, 10, true},
          {3, 5, u"m", 5, 8, true},
          {0, 0, u""}}},
        {"i-iv-V7-i", Mode::Minor, {{0, 0, u"m"}, {3, 5, u"m"}, {4, 7, u"7"}, {0, 0, u"m"}}},
        {"i-bVI-bVII-i", Mode::Minor, {{0, 0, u"m"}, {5, 8, u""}, {6, 10, u""}, {0, 0, u"m"}}},
        {"i-vii°7-i",
         Mode::Minor,
         {{0, 0, u"m"}, {3, 5, u"m"}, {6, 11, u"dim7", -1, 0, true}, {0, 0, u"m"}}},
    };
    return all;
}

// Where a degree lands in `key`: its letter, unless that takes a double accidental or (outside
// the exceptions) an E#, B#, Cb or Fb the key does not hold; then the plain note.
SpelledNote Expected(int letters, int semitones, const SpelledKey& key, bool exception) {
    const int letter = (key.tonic.letter + letters) % 7;
    const int pitch = (PitchOf(key.tonic) + semitones) % 12;
    const SpelledNote note{letter, (pitch - PitchOf(SpelledNote{letter, 0}) + 18) % 12 - 6};
    const std::vector<SpelledNote> scale = Scale(key, true);
    const bool rare = (note.accidental == 1 && (letter == 2 || letter == 6)) ||
                      (note.accidental == -1 && (letter == 0 || letter == 3));
    if (note.accidental < -1 || note.accidental > 1 ||
        (rare && !exception && std::find(scale.begin(), scale.end(), note) == scale.end())) {
        for (int plain = 0; plain < 7; ++plain) {
            if (PitchOf(SpelledNote{plain, 0}) == pitch) {
                return {plain, 0};
            }
        }
    }
    return note;
}

// The chords `gap` apart.
std::u16string Sheet(const Progression& p, const SpelledKey& key, bool german, bool declared,
                     std::u16string_view gap = u" ", bool signs = false) {
    std::u16string sheet = declared ? DeclarationLine(key, german) + u"\n" : u"";
    for (const Degree& d : p.chords) {
        sheet +=
            std::u16string((sheet.empty() || sheet.back() == u'\n' ? std::u16string_view() : gap)) +
            Name(Expected(d.letters, d.semitones, key, d.exception), german, false, signs) +
            std::u16string(d.suffix);
        if (d.bassLetters >= 0) {
            sheet += u"/" + Name(Expected(d.bassLetters, d.bassSemitones, key, d.exception), german,
                                 false, signs);
        }
    }
    return sheet;
}

// Every key (both names of F#/Gb and d#/eb) and progression, in English and German sheets, with
// and without a declared key, steps -6..+6: detection finds the key; the moved key has at most
// six accidentals, the ambiguous one by direction; every root, bass and declared key lands where
// the key and the exceptions put it; step 0 leaves a sheet spelled by its key as it is, and
// moving back gives the sheet spelled by its key again.
TEST(Keys, GeneratedTable) {
    for (int tonic = 0; tonic < 12; ++tonic) {
        for (bool sharp : {false, true}) {
            for (const Progression& p : Progressions()) {
                const Key source{tonic, p.mode};
                const std::u16string plain = Sheet(p, TargetKey(source, 0, sharp), false, false);
                SCOPED_TRACE(p.name + (": " + Narrow(plain)));
                EXPECT_EQ(DetectKey(Song(plain)), source);
                for (int steps = -6; steps <= 6; ++steps) {
                    SCOPED_TRACE(steps);
                    const SpelledKey target = TargetKey(source, steps, sharp);
                    EXPECT_EQ(PitchOf(target.tonic), MovedKey(source, steps).tonic);
                    EXPECT_EQ(target.mode, source.mode);
                    int accidentals = 0;
                    for (SpelledNote n : Scale(target, false)) {
                        accidentals += n.accidental != 0;
                    }
                    EXPECT_LE(accidentals, 6);
                    if (accidentals == 6 && steps != 0) {
                        EXPECT_EQ(target.tonic.accidental, steps > 0 ? 1 : -1);
                    }
                    const SpelledKey back = TargetKey(source, 0, steps == 0 ? sharp : steps < 0);
                    for (bool german : {false, true}) {
                        for (bool declared : {false, true}) {
                            const std::u16string sheet =
                                Sheet(p, TargetKey(source, 0, sharp), german, declared);
                            const std::u16string moved = Respell(sheet, steps, german);
                            EXPECT_EQ(Narrow(moved), Narrow(Sheet(p, target, german, declared)));
                            EXPECT_EQ(Narrow(Respell(moved, -steps, german)),
                                      Narrow(Sheet(p, back, german, declared)));
                            // The same through the document driver, where a German sheet
                            // must show its custom to read a bare B as B-flat; the chords
                            // stand wide apart, so that their columns come back too.
                            if (german && !declared && !ShowsGermanCustom(sheet)) {
                                continue;
                            }
                            constexpr std::u16string_view kGap = u"      ";
                            const std::u16string spaced =
                                Sheet(p, TargetKey(source, 0, sharp), german, declared, kGap);
                            const std::u16string driven = ByKey(spaced, steps, nullptr, german);
                            if (steps == 0) {
                                // A sheet spelled by its key comes back byte for byte.
                                EXPECT_EQ(Narrow(driven), Narrow(spaced));
                            }
                            const bool signs = german && !declared && !ShowsGermanNames(sheet);
                            EXPECT_EQ(Narrow(Collapsed(driven)),
                                      Narrow(Sheet(p, target, german, declared, u" ", signs)));
                            if (!german || declared || ShowsGermanCustom(driven)) {
                                // Columns come back where the names do (not for Es → Dis).
                                const std::u16string again = ByKey(driven, -steps, nullptr, german);
                                const bool signsBack =
                                    german && !declared && !ShowsGermanNames(driven);
                                const bool same =
                                    back == TargetKey(source, 0, sharp) && signs == signsBack;
                                EXPECT_EQ(Narrow(same ? again : Collapsed(again)),
                                          Narrow(Sheet(p, back, german, declared,
                                                       same ? kGap : u" ", signsBack)));
                            }
                        }
                    }
                }
            }
        }
    }
}

// A modulating pair: each declared key is a stretch of its own, moved and reported on its own.
TEST(Keys, GeneratedKeyChanges) {
    const Progression& p = Progressions().front();
    for (int tonic = 0; tonic < 12; ++tonic) {
        for (bool sharp : {false, true}) {
            for (int change : {2, 5, 9}) {
                const Key first{tonic, Mode::Major};
                const Key second = MovedKey(first, change);
                const SpelledKey written[] = {TargetKey(first, 0, sharp),
                                              TargetKey(second, 0, change < 6)};
                for (bool german : {false, true}) {
                    const std::u16string sheet = Sheet(p, written[0], german, true) + u"\n" +
                                                 Sheet(p, written[1], german, true);
                    SCOPED_TRACE(Narrow(sheet));
                    for (int steps = -6; steps <= 6; ++steps) {
                        KeyReport report;
                        const SpelledKey to[] = {
                            TargetKey(first, steps, sharp),
                            TargetKey(second, steps, written[1].tonic.accidental > 0)};
                        EXPECT_EQ(Narrow(Collapsed(ByKey(sheet, steps, &report, german))),
                                  Narrow(Sheet(p, to[0], german, true) + u"\n" +
                                         Sheet(p, to[1], german, true)));
                        ASSERT_EQ(report.size(), 2u);
                        for (int k = 0; k < 2; ++k) {
                            EXPECT_EQ(report[k].from, written[k]);
                            EXPECT_EQ(report[k].to, to[k]);
                            EXPECT_TRUE(report[k].declared);
                        }
                    }
                }
            }
        }
    }
}

// Whole sheets through the driver: songs and key changes as stretches, the key phrase moved in
// its own form, step 0 respelling only what the key says is wrong.
TEST(Keys, SheetsSpelledByKey) {
    const struct {
        std::u16string_view sheet;
        int steps;
        std::u16string_view expected;
    } cases[] = {
        {u"C Am F G", -2, u"Bb Gm Eb F"},
        {u"F A# C F", 0, u"F Bb C F"},
        {u"Bb Gm Eb F", 0, u"Bb Gm Eb F"},
        {u"# One\nC Am F G\n# Two\nE A B7 C#m", 1, u"# One\nDb Bbm Gb Ab\n# Two\nF Bb C7 Dm"},
        {u"Key: G\nG D/F# Em C\nKey: Bb\nBb F/A Gm Eb", 3,
         u"Key: Bb\nBb F/A  Gm Eb\nKey: Db\nDb Ab/C Bbm Gb"},
        {u"Tonart: G-Dur\nG    D  e   C\nKapo 3", 3, u"Tonart: B-Dur\nB    F  g   Es\nKapo 3"},
        {u"Worte und Weise: trad., in a-Moll\na  d  E7  a", 2,
         u"Worte und Weise: trad., in h-Moll\nh  e  Fis7 h"},
        {u"{key: Am}\n[Am]Down the [F]road [E7]home [Am]", 1,
         u"{key: Bbm}\n[Bbm]Down the [Gb]road [F7]home [Bbm]"},
        {u"Key: G\nG  C  G  D\nCapo 3", 0, u"Key: G\nG  C  G  D\nCapo 3"},
        {u"C  C#dim  Dm  G7\nC", -1, u"B  B#dim  C#m F#7\nB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Narrow(ByKey(c.sheet, c.steps)), Narrow(c.expected)) << Narrow(c.sheet);
    }
}

TEST(Keys, SpellsLikeAMusician) {
    const struct {
        std::u16string_view sheet;
        int steps;
        std::u16string_view expected;
    } cases[] = {
        {u"C Am F G", -2, u"Bb Gm Eb F"},
        {u"E A B7 C#m", 1, u"F Bb C7 Dm"},
        {u"E A B7 C#m", 2, u"F# B C#7 D#m"},
        {u"G D/F# Em C Eb F G", 2, u"A E/G# F#m D F G A"},
        {u"C C#dim Dm G7 C", -5, u"G G#dim Am D7 G"},
        {u"Am G#°7 Am", 3, u"Cm B°7 Cm"},
        {u"F#m E#dim F#m", 0, u"F#m E#dim F#m"},
        {u"Eb Bb/D Cm Cm/Eb C7/Bb Eb", 0, u"Eb Bb/D Cm Cm/Eb C7/Bb Eb"},
        {u"A#m C#/E# F#m A#m", 0, u"Bbm Db/F Gbm Bbm"},
        {u"Gb Cb Db7 Gb", 0, u"Gb Cb Db7 Gb"},
        {u"B E F B", 0, u"B E F B"},                              // #4 of B major is no E#
        {u"G#m C#m E#dim D#7 G#m", 0, u"G#m C#m E#dim D#7 G#m"},  // minor's raised sixth
        {u"Dm7 G7 C", 0, u"Dm7 G7 C"},
        {u"Cdim7/A C", 0, u"Cdim7/A C"},  // the diminished seventh Bbb is no name: A
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Narrow(Respell(c.sheet, c.steps)), Narrow(c.expected)) << Narrow(c.sheet);
    }
}

TEST(Keys, DetectsTheKey) {
    const struct {
        std::u16string_view sheet;
        std::optional<Key> key;
    } cases[] = {
        {u"Dm7 G7 C", Key{0, Mode::Major}},    {u"Am F C G Am", Key{9, Mode::Minor}},
        {u"F Dm Gm7 C7", Key{5, Mode::Major}}, {u"a d E7 a", Key{9, Mode::Minor}},
        {u"Em C G D", Key{4, Mode::Minor}},    {u"C7 F", Key{5, Mode::Major}},
        {u"G", Key{7, Mode::Major}},           {u"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectKey(Song(c.sheet)), c.key) << Narrow(c.sheet);
    }
}

// Every note name the key arithmetic writes reads back as the same note, in every form and
// convention; B-flat is never "Hes" or "Hb".
TEST(Keys, NamesReadBack) {
    for (int letter = 0; letter < 7; ++letter) {
        for (int accidental = -1; accidental <= 1; ++accidental) {
            for (Form form : {Form::Sign, Form::Suffix, Form::Short}) {
                for (Conventions conventions : {Conventions{false, false}, Conventions{false, true},
                                                Conventions{true, true}}) {
                    const SpelledNote note{letter, accidental};
                    const NoteName name = SpelledName(note, form, letter % 2 == 1, conventions);
                    const std::string text = Narrow(name.View());
                    Chord chord{};
                    ASSERT_TRUE(ParseChord(name.View(), Grammar::Broad, chord)) << text;
                    EXPECT_EQ(chord.root.length, name.length) << text;
                    EXPECT_EQ(ShiftPitch(PitchOf(chord.root, conventions.germanCustom), 0),
                              PitchOf(note))
                        << text;
                    if (letter == 6 && accidental < 0) {
                        EXPECT_EQ(Upper(name.text[0]), u'B') << text;
                    }
                }
            }
        }
    }
}

TEST(Keys, DeclarationsMove) {
    const struct {
        std::u16string_view line;
        int steps;
        std::u16string_view expected;
    } cases[] = {
        {u"Key: G", 3, u"Key: Bb"},
        {u"Tonart: G-Dur", 3, u"Tonart: B-Dur"},
        {u"in a-Moll", 2, u"in h-Moll"},
        {u"e-Moll", 2, u"fis-Moll"},
        {u"{key: Am}", 1, u"{key: Bbm}"},
        {u"{key:Am}", -2, u"{key:Gm}"},
        {u"Key of Em", 1, u"Key of Fm"},
        {u"Key - Bb", 2, u"Key - C"},
        {u"KEY: C#", 0, u"KEY: Db"},
        {u"Key: Bbmin", -1, u"Key: Amin"},
        {u"Key: E minor (Capo 2)", 2, u"Key: F# minor (Capo 2)"},
        {u"Key G major", -1, u"Key Gb major"},
        {u"Tonart: D", 1, u"Tonart: Es"},
        {u"Tonart: fis-Moll", 1, u"Tonart: g-Moll"},
        {u"Tonart: h", -2, u"Tonart: a"},
        {u"Tonart Es-Dur", -3, u"Tonart C-Dur"},
        {u"Tonart: Em", 1, u"Tonart: Fm"},
        {u"Worte und Weise: trad., in C-Dur", -1, u"Worte und Weise: trad., in H-Dur"},
        {u"B-Dur", 1, u"H-Dur"},
        {u"H-Dur", 1, u"C-Dur"},
        {u"A-Moll", 1, u"B-Moll"},
        {u"es-Moll", 0, u"es-Moll"},
        {u"dis-Moll", 0, u"dis-Moll"},
        {u"Ges-Dur", 0, u"Ges-Dur"},
        {u"Fis-Dur", 1, u"G-Dur"},
        {u"Song (G major)", 4, u"Song (B major)"},
        {u"[F# minor]", -1, u"[F minor]"},
        {u"played in E minor today", 1, u"played in F minor today"},
        {u"Capo 3", 2, u"none"},
        {u"Kapo 3", 2, u"none"},
        {u"Keyboard: G", 2, u"none"},
        {u"the key G again", 2, u"none"},
        {u"Key: Go", 2, u"none"},
        {u"a-Dur", 2, u"none"},
        {u"in G", 2, u"none"},
        {u"(G) major", 2, u"none"},
        {u"Tonarten", 2, u"none"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Narrow(MoveDeclaration(c.line, c.steps)), Narrow(c.expected)) << Narrow(c.line);
    }
}

// Every key declared in English and German moves to the key its chords move to.
TEST(Keys, GeneratedDeclarations) {
    for (int tonic = 0; tonic < 12; ++tonic) {
        for (Mode mode : {Mode::Major, Mode::Minor}) {
            for (bool sharp : {false, true}) {
                const Key key{tonic, mode};
                const SpelledKey written = TargetKey(key, 0, sharp);
                for (bool german : {false, true}) {
                    const std::u16string line = DeclarationLine(written, german);
                    SCOPED_TRACE(Narrow(line));
                    const auto found = FindKeyDeclaration(line);
                    ASSERT_TRUE(found);
                    EXPECT_EQ(found->key, key);
                    EXPECT_EQ(found->written, written.tonic);
                    for (int steps = -6; steps <= 6; ++steps) {
                        const auto moved = FindKeyDeclaration(MoveDeclaration(line, steps));
                        ASSERT_TRUE(moved);
                        EXPECT_EQ(moved->key, MovedKey(key, steps));
                        EXPECT_EQ(moved->written, TargetKey(key, steps, sharp).tonic);
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace melvane::chords

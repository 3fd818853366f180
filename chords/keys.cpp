#include "chords/keys.h"

#include <array>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "chords/characters.h"
#include "chords/note_table.h"
#include "chords/transpose.h"

namespace melvane::chords {
namespace {

// The seven letters in order, B-natural by the table's name "H".
constexpr std::u16string_view kLetters = u"CDEFGAH";

constexpr std::array<int, 7> kStepPitch = [] {
    std::array<int, 7> pitch{};
    for (std::size_t i = 0; i < kLetters.size(); ++i) {
        pitch[i] = kLetterPitch[kLetters[i] - u'A'];
    }
    return pitch;
}();

constexpr int LetterIndex(char16_t letter) {
    return static_cast<int>(kLetters.find(letter == u'B' ? u'H' : letter));
}

constexpr int Mod(int value, int by) {
    return (value % by + by) % by;
}

// The accidental that makes `letter` sound `pitch`, -6..+5.
int AccidentalToFit(int letter, int pitch) {
    return Mod(pitch - kStepPitch[letter] + 6, 12) - 6;
}

// `pitch` as the note table writes it in one column.
SpelledNote TableName(int pitch, bool flats) {
    const std::u16string_view name = kNoteNames[flats ? kFlatColumn : kSharpColumn][pitch];
    const int accidental = name.size() == 1 ? 0 : (name[1] == u'#' ? 1 : -1);
    return {LetterIndex(name[0]), accidental};
}

// Semitones above the tonic to the letters above it: b2 and 2 on the second letter, b3 and 3 on
// the third, 4 and #4 on the fourth, and so on.
constexpr std::array<int, 12> kDegreeLetter = {0, 1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};

// The key's notes by letter above the tonic; minor also holds its raised sixth and seventh.
constexpr std::array<int, 7> kMajorScale = {0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 7> kMinorScale = {0, 2, 3, 5, 7, 8, 10};

bool InKey(SpelledNote note, const SpelledKey& key) {
    const int degree = Mod(note.letter - key.tonic.letter, 7);
    const int interval = Mod(PitchOf(note) - PitchOf(key.tonic), 12);
    if (key.mode == Mode::Major) {
        return interval == kMajorScale[degree];
    }
    return interval == kMinorScale[degree] || (degree >= 5 && interval == kMinorScale[degree] + 1);
}

// A note on `letter` sounding `pitch`, or nothing when that needs a double accidental.
std::optional<SpelledNote> OnLetter(int letter, int pitch) {
    const int accidental = AccidentalToFit(Mod(letter, 7), pitch);
    if (accidental < -1 || accidental > 1) {
        return std::nullopt;
    }
    return SpelledNote{Mod(letter, 7), accidental};
}

bool LeadsUpByDiminished(const ChordFacts& chord, const ChordFacts& next) {
    return chord.diminished && Mod(next.root - chord.root, 12) == 1;
}

// Krumhansl-Kessler key profiles, from the tonic up.
constexpr std::array<double, 12> kMajorProfile = {6.35, 2.23, 3.48, 2.33, 4.38, 4.09,
                                                  2.52, 5.19, 2.39, 3.66, 2.29, 2.88};
constexpr std::array<double, 12> kMinorProfile = {6.33, 2.68, 3.52, 5.38, 2.60, 3.53,
                                                  2.54, 4.75, 3.98, 2.69, 3.34, 3.17};

// Pearson correlation of the weights with the profile turned to `tonic`; nothing when the
// weights do not vary.
std::optional<double> Correlation(const std::array<double, 12>& weights,
                                  const std::array<double, 12>& profile, int tonic) {
    double weightMean = 0;
    double profileMean = 0;
    for (int i = 0; i < 12; ++i) {
        weightMean += weights[i] / 12;
        profileMean += profile[i] / 12;
    }
    double product = 0;
    double weightSquares = 0;
    double profileSquares = 0;
    for (int pitch = 0; pitch < 12; ++pitch) {
        const double w = weights[pitch] - weightMean;
        const double p = profile[Mod(pitch - tonic, 12)] - profileMean;
        product += w * p;
        weightSquares += w * w;
        profileSquares += p * p;
    }
    if (weightSquares == 0) {
        return std::nullopt;
    }
    return product / std::sqrt(weightSquares * profileSquares);
}

// ---- Reading key phrases ----

struct TonicRead {
    SpelledNote note;
    std::size_t length;
    Form form;
    bool lower;
};

bool At(std::u16string_view line, std::size_t i, char16_t c) {
    return i < line.size() && line[i] == c;
}

// `word` at line[i], in any case.
bool WordAt(std::u16string_view line, std::size_t i, std::u16string_view word) {
    if (line.size() - i < word.size()) {
        return false;
    }
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (Upper(line[i + k]) != Upper(word[k])) {
            return false;
        }
    }
    return true;
}

bool EndsWord(std::u16string_view line, std::size_t i) {
    return i >= line.size() || (!IsLetter(line[i]) && !IsDigit(line[i]));
}

std::size_t SkipSpaces(std::u16string_view line, std::size_t i) {
    while (i < line.size() && IsSeparatorInPart(line[i])) {
        ++i;
    }
    return i;
}

int SignAt(std::u16string_view line, std::size_t i) {
    if (At(line, i, u'#') || At(line, i, kSharpSign)) {
        return 1;
    }
    if (At(line, i, u'b') || At(line, i, kFlatSign)) {
        return -1;
    }
    return 0;
}

// An English tonic: an upper-case letter A-G and a sign.
std::optional<TonicRead> ReadEnglishTonic(std::u16string_view line, std::size_t i) {
    if (i >= line.size() || line[i] < u'A' || line[i] > u'G') {
        return std::nullopt;
    }
    const int sign = SignAt(line, i + 1);
    return TonicRead{{LetterIndex(line[i]), sign},
                     sign != 0 ? 2u : 1u,
                     sign != 0 ? Form::Sign : Form::None,
                     false};
}

// A German tonic in either case: "Fis", "es", "As", "Des", "B" (B-flat), "H", or a sign.
std::optional<TonicRead> ReadGermanTonic(std::u16string_view line, std::size_t i) {
    if (i >= line.size()) {
        return std::nullopt;
    }
    const char16_t letter = Upper(line[i]);
    if (letter < u'A' || letter > u'H') {
        return std::nullopt;
    }
    TonicRead read{{LetterIndex(letter), 0}, 1, Form::None, letter != line[i]};
    const bool isCDFG = letter == u'C' || letter == u'D' || letter == u'F' || letter == u'G';
    if (At(line, i + 1, u'i') && At(line, i + 2, u's') && letter != u'B') {
        read.note.accidental = 1;
        read.length = 3;
        read.form = Form::Suffix;
    } else if (At(line, i + 1, u'e') && At(line, i + 2, u's') && isCDFG) {
        read.note.accidental = -1;
        read.length = 3;
        read.form = Form::Suffix;
    } else if (At(line, i + 1, u's') && (letter == u'A' || letter == u'E')) {
        read.note.accidental = -1;
        read.length = 2;
        read.form = Form::Suffix;
    } else if (const int sign = SignAt(line, i + 1); sign != 0 && letter != u'H') {
        read.note.accidental = sign;
        read.length = 2;
        read.form = Form::Sign;
    } else if (letter == u'B') {
        read.note.accidental = -1;  // the German B
    }
    return read;
}

KeyDeclaration Declared(const TonicRead& tonic, std::size_t start, KeyPhrase phrase, Mode mode) {
    return {{PitchOf(tonic.note), mode},
            tonic.note,
            start,
            tonic.length,
            phrase,
            tonic.form,
            tonic.lower};
}

// " major" / " minor" at line[i], ending a word; `end` is set past it.
std::optional<Mode> EnglishModeWord(std::u16string_view line, std::size_t i, std::size_t& end) {
    const std::size_t word = SkipSpaces(line, i);
    if (word == i) {
        return std::nullopt;
    }
    for (Mode mode : {Mode::Major, Mode::Minor}) {
        if (WordAt(line, word, mode == Mode::Major ? u"major" : u"minor") &&
            EndsWord(line, word + 5)) {
            end = word + 5;
            return mode;
        }
    }
    return std::nullopt;
}

// "-Dur" / "-Moll" at line[i], ending a word.
std::optional<Mode> GermanModeWord(std::u16string_view line, std::size_t i) {
    if (!At(line, i, u'-')) {
        return std::nullopt;
    }
    if (WordAt(line, i + 1, u"dur") && EndsWord(line, i + 4)) {
        return Mode::Major;
    }
    if (WordAt(line, i + 1, u"moll") && EndsWord(line, i + 5)) {
        return Mode::Minor;
    }
    return std::nullopt;
}

// After "Key": ": G", " of Em", " - Bb", ":Am" (ChordPro), or " G major" with spaces alone.
std::optional<KeyDeclaration> AfterKeyLabel(std::u16string_view line, std::size_t i) {
    std::size_t at = SkipSpaces(line, i);
    bool marked = true;
    if (At(line, at, u':') || At(line, at, u'-')) {
        at = SkipSpaces(line, at + 1);
    } else if (at > i && WordAt(line, at, u"of") && At(line, at + 2, u' ')) {
        at = SkipSpaces(line, at + 2);
    } else {
        marked = false;
    }
    if (at == i) {
        return std::nullopt;  // "Keyboard"
    }
    const auto tonic = ReadEnglishTonic(line, at);
    if (!tonic) {
        return std::nullopt;
    }
    std::size_t end = at + tonic->length;
    if (auto mode = EnglishModeWord(line, end, end)) {
        return Declared(*tonic, at, KeyPhrase::English, *mode);
    }
    if (!marked) {
        return std::nullopt;  // "key G" in a lyric says nothing
    }
    if (WordAt(line, end, u"min") && EndsWord(line, end + 3)) {
        return Declared(*tonic, at, KeyPhrase::English, Mode::Minor);
    }
    if (At(line, end, u'm') && EndsWord(line, end + 1)) {
        return Declared(*tonic, at, KeyPhrase::English, Mode::Minor);
    }
    if (EndsWord(line, end)) {
        return Declared(*tonic, at, KeyPhrase::English, Mode::Major);
    }
    return std::nullopt;
}

// After "Tonart": ": D", ": fis-Moll", " G-Dur", ": Em"; a bare lower-case tonic is minor.
std::optional<KeyDeclaration> AfterTonartLabel(std::u16string_view line, std::size_t i) {
    std::size_t at = SkipSpaces(line, i);
    if (At(line, at, u':') || At(line, at, u'-')) {
        at = SkipSpaces(line, at + 1);
    }
    if (at == i) {
        return std::nullopt;
    }
    const auto tonic = ReadGermanTonic(line, at);
    if (!tonic) {
        return std::nullopt;
    }
    const std::size_t end = at + tonic->length;
    if (auto mode = GermanModeWord(line, end)) {
        return Declared(*tonic, at, KeyPhrase::German, *mode);
    }
    if (At(line, end, u'm') && EndsWord(line, end + 1)) {
        return Declared(*tonic, at, KeyPhrase::German, Mode::Minor);
    }
    if (EndsWord(line, end)) {
        return Declared(*tonic, at, KeyPhrase::German, tonic->lower ? Mode::Minor : Mode::Major);
    }
    return std::nullopt;
}

// A declaration starting at line[i], a word start.
std::optional<KeyDeclaration> DeclarationAt(std::u16string_view line, std::size_t i) {
    if (WordAt(line, i, u"key")) {
        if (auto found = AfterKeyLabel(line, i + 3)) {
            return found;
        }
    }
    if (WordAt(line, i, u"tonart")) {
        if (auto found = AfterTonartLabel(line, i + 6)) {
            return found;
        }
    }
    // "in G major", "(G major)"
    const bool afterIn = WordAt(line, i, u"in") && At(line, i + 2, u' ');
    const bool bracket = At(line, i, u'(') || At(line, i, u'[');
    if (afterIn || bracket) {
        const std::size_t at = SkipSpaces(line, i + (afterIn ? 2 : 1));
        if (const auto tonic = ReadEnglishTonic(line, at)) {
            std::size_t end = at + tonic->length;
            if (const auto mode = EnglishModeWord(line, end, end)) {
                end = SkipSpaces(line, end);
                if (afterIn || At(line, end, line[i] == u'(' ? u')' : u']')) {
                    return Declared(*tonic, at, KeyPhrase::English, *mode);
                }
            }
        }
    }
    // "G-Dur", "fis-Moll" anywhere; a lower-case tonic is only ever minor.
    if (const auto tonic = ReadGermanTonic(line, i)) {
        const auto mode = GermanModeWord(line, i + tonic->length);
        if (mode && !(tonic->lower && *mode == Mode::Major)) {
            return Declared(*tonic, i, KeyPhrase::German, *mode);
        }
    }
    return std::nullopt;
}

// "key", "ton" (Tonart), "-d", "-m" (-Dur, -Moll), "jor" or "min" (major, minor) at line[i].
bool StartsPhrase(std::u16string_view line, std::size_t i) {
    const auto lower = [line](std::size_t k) {
        return k < line.size() ? static_cast<char16_t>(line[k] | 0x20) : u'\0';
    };
    const char16_t a = lower(i);
    const char16_t b = lower(i + 1);
    const char16_t c = lower(i + 2);
    return (a == u'k' && b == u'e' && c == u'y') || (a == u't' && b == u'o' && c == u'n') ||
           (line[i] == u'-' && (b == u'd' || b == u'm')) || (a == u'j' && b == u'o' && c == u'r') ||
           (a == u'm' && b == u'i' && c == u'n');
}

// Where DeclarationAt may find one: "Key", "Tonart", "in", a bracket, a German tonic.
constexpr AsciiSet kMayStartPhrase(u"kKtTiI([ABCDEFGHabcdefgh");

// The pairs of characters StartsPhrase's phrases begin with, in either case.
constexpr std::array<bool, 128 * 128> kPhraseStarts = [] {
    std::array<bool, 128 * 128> starts{};
    const auto add = [&starts](char16_t first, char16_t second) {
        for (char16_t a : {first, static_cast<char16_t>(first & ~0x20)}) {
            for (char16_t b : {second, static_cast<char16_t>(second & ~0x20)}) {
                starts[a * 128 + b] = true;
            }
        }
    };
    add(u'k', u'e');
    add(u't', u'o');
    add(u'j', u'o');
    add(u'm', u'i');
    for (char16_t b : {u'd', u'D', u'm', u'M'}) {
        starts[u'-' * 128 + b] = true;
    }
    return starts;
}();

// A phrase StartsPhrase looks for at one of line[from, to).
bool PhraseIn(std::u16string_view line, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i + 1 < line.size(); ++i) {
        const char16_t a = line[i];
        const char16_t b = line[i + 1];
        if ((a | b) < 128 && kPhraseStarts[a * 128 + b] && StartsPhrase(line, i)) {
            return true;
        }
    }
    return false;
}

// Every declaration holds one of the phrases StartsPhrase looks for; most lines hold none and
// are passed at a glance: eight pairs of characters at a time where the processor can.
bool MayDeclare(std::u16string_view line) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const char16_t* text = line.data();
    const __m128i lowerCase = _mm_set1_epi16(0x20);
    const auto is = [](__m128i units, char16_t c) {
        return _mm_cmpeq_epi16(units, _mm_set1_epi16(static_cast<short>(c)));
    };
    for (; i + 9 <= line.size(); i += 8) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 1));
        const __m128i a = _mm_or_si128(first, lowerCase);
        const __m128i b = _mm_or_si128(second, lowerCase);
        const __m128i pairs = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(is(a, u'k'), is(b, u'e')),
                         _mm_and_si128(is(a, u't'), is(b, u'o'))),
            _mm_or_si128(_mm_or_si128(_mm_and_si128(is(a, u'j'), is(b, u'o')),
                                      _mm_and_si128(is(a, u'm'), is(b, u'i'))),
                         _mm_and_si128(is(first, u'-'), _mm_or_si128(is(b, u'd'), is(b, u'm')))));
        if (_mm_movemask_epi8(pairs) != 0 && PhraseIn(line, i, i + 8)) {
            return true;
        }
    }
#endif
    return PhraseIn(line, i, line.size());
}

}  // namespace

int PitchOf(SpelledNote note) {
    return Mod(kStepPitch[note.letter] + note.accidental, 12);
}

Key MovedKey(Key key, std::int64_t steps) {
    return {ShiftPitch(key.tonic, steps), key.mode};
}

SpelledKey NameKey(Key key, bool sharpSide) {
    // The side of the circle of fifths the key (for minor, its relative major) stands on.
    const int tonic = Mod(key.tonic, 12);
    const int major = key.mode == Mode::Major ? tonic : Mod(tonic + 3, 12);
    const int fifths = Mod(major * 7, 12);
    const bool flats = fifths == 6 ? !sharpSide : fifths > 6;
    return {TableName(tonic, flats), key.mode};
}

SpelledKey TargetKey(Key source, std::int64_t steps, bool writtenSharp) {
    const bool sharpSide = steps > 0 || (steps == 0 && writtenSharp);
    return NameKey(MovedKey(source, steps), sharpSide);
}

SpelledNote SpellInKey(int pitch, const SpelledKey& key) {
    pitch = Mod(pitch, 12);
    const int letter = key.tonic.letter + kDegreeLetter[Mod(pitch - PitchOf(key.tonic), 12)];
    const auto note = OnLetter(letter, pitch);
    if (!note) {
        // A double accidental: the plain note, which there always is for a key of at most six
        // accidentals; any other key gets the table's name in the accidental's direction.
        return TableName(pitch, AccidentalToFit(Mod(letter, 7), pitch) < 0);
    }
    const bool rare = (note->accidental == 1 && (note->letter == 2 || note->letter == 6)) ||
                      (note->accidental == -1 && (note->letter == 0 || note->letter == 3));
    if (rare && !InKey(*note, key)) {
        return TableName(pitch, false);  // E# B# Cb Fb are white keys
    }
    return *note;
}

int ThirdOf(const ChordFacts& chord) {
    return chord.minorMark || chord.diminished || chord.lower ? 3 : 4;
}

int FifthOf(const ChordFacts& chord) {
    return chord.diminished ? 6 : (chord.augmented ? 8 : 7);
}

bool IsTonicChord(const ChordFacts& chord, Key key) {
    const bool minor = key.mode == Mode::Minor;
    return Mod(chord.root, 12) == key.tonic && ThirdOf(chord) == (minor ? 3 : 4) &&
           FifthOf(chord) == 7 && chord.seventh != Seventh::Diminished &&
           !(chord.seventh == Seventh::Minor && !minor);
}

std::optional<Key> DetectKey(std::span<const ChordFacts> chords) {
    std::array<double, 12> weights{};
    for (const ChordFacts& chord : chords) {
        weights[Mod(chord.root, 12)] += 2;
        weights[Mod(chord.root + ThirdOf(chord), 12)] += 1;
        weights[Mod(chord.root + FifthOf(chord), 12)] += 1;
    }
    std::array<double, 24> scores{};
    std::array<Key, 24> keys{};
    int best = -1;
    for (int k = 0; k < 24; ++k) {
        const Mode mode = k < 12 ? Mode::Major : Mode::Minor;
        keys[k] = {k % 12, mode};
        const auto score =
            Correlation(weights, mode == Mode::Major ? kMajorProfile : kMinorProfile, k % 12);
        if (!score) {
            return std::nullopt;  // no chords, or weights that favour nothing
        }
        scores[k] = *score;
        if (best < 0 || scores[k] > scores[best]) {
            best = k;
        }
    }
    const double threshold = scores[best] - 0.2 * std::abs(scores[best]);
    for (const ChordFacts* chord : {&chords.back(), &chords.front()}) {
        for (int k = 0; k < 24; ++k) {
            if (scores[k] >= threshold && IsTonicChord(*chord, keys[k])) {
                return keys[k];
            }
        }
    }
    return keys[best];
}

SpelledNote SpellRoot(std::span<const ChordFacts> chords, std::size_t i, const SpelledKey& key,
                      std::int64_t steps) {
    // A run of diminished chords each leading into the next is spelled back from its end.
    std::size_t last = i;
    while (last + 1 < chords.size() && LeadsUpByDiminished(chords[last], chords[last + 1])) {
        ++last;
    }
    SpelledNote note = SpellInKey(ShiftPitch(chords[last].root, steps), key);
    for (std::size_t k = last; k > i; --k) {
        const int pitch = ShiftPitch(chords[k - 1].root, steps);
        note = OnLetter(note.letter - 1, pitch).value_or(SpellInKey(pitch, key));
    }
    return note;
}

SpelledNote SpellBass(std::span<const ChordFacts> chords, std::size_t i, const SpelledKey& key,
                      std::int64_t steps) {
    const ChordFacts& chord = chords[i];
    const int bass = ShiftPitch(chord.bass, steps);
    const int interval = Mod(chord.bass - chord.root, 12);  // the caller checked hasBass
    constexpr std::array<int, 4> kSeventh = {-1, 10, 11, 9};
    int letters = -1;
    if (interval == ThirdOf(chord)) {
        letters = 2;
    } else if (interval == FifthOf(chord)) {
        letters = 4;
    } else if (interval == kSeventh[static_cast<int>(chord.seventh)]) {
        letters = 6;
    }
    if (letters < 0) {
        return SpellInKey(bass, key);
    }
    const SpelledNote root = SpellRoot(chords, i, key, steps);
    return OnLetter(root.letter + letters, bass).value_or(SpellInKey(bass, key));
}

NoteName SpelledName(SpelledNote note, Form form, bool lower, const Conventions& conventions) {
    NoteName name{};
    const auto add = [&name](char16_t c) { name.text[name.length++] = c; };
    const char16_t letter = kLetters[note.letter];
    const bool german = form == Form::Suffix || form == Form::Short;
    if (letter == u'H' && note.accidental < 0) {
        add(u'B');  // never "Hes" or "Hb"
        if (!conventions.germanCustom) {
            add(u'b');
        }
    } else if (letter == u'H') {
        add(conventions.germanNames || (german && note.accidental > 0) ? u'H' : u'B');
    } else {
        add(letter);
    }
    if (note.accidental == 0 || (letter == u'H' && note.accidental < 0)) {
        // done
    } else if (!german) {
        add(note.accidental > 0 ? u'#' : u'b');
    } else if (note.accidental < 0) {  // "Ces", "Des", but "Es", "As"
        if (letter != u'E' && letter != u'A') {
            add(u'e');
        }
        add(u's');
    } else if (form == Form::Short &&
               (letter == u'C' || letter == u'D' || letter == u'F' || letter == u'G')) {
        add(u's');  // not "Es" or "As", which are flats
    } else {
        add(u'i');
        add(u's');
    }
    if (lower) {
        name.text[0] = static_cast<char16_t>(name.text[0] + 32);
    }
    return name;
}

std::optional<KeyDeclaration> FindKeyDeclaration(std::u16string_view line) {
    if (!MayDeclare(line)) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        if ((i > 0 && IsLetter(line[i - 1])) || !kMayStartPhrase(line[i])) {
            continue;
        }
        if (auto found = DeclarationAt(line, i)) {
            return found;
        }
    }
    return std::nullopt;
}

NoteName DeclaredTonicName(const KeyDeclaration& declaration, const SpelledKey& target) {
    const bool german = declaration.phrase == KeyPhrase::German;
    Form form = declaration.form;
    if (form == Form::None) {
        form = german ? Form::Suffix : Form::Sign;
    }
    return SpelledName(target.tonic, form, declaration.lower, Conventions{german, german});
}

}  // namespace melvane::chords

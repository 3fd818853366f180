#include "chords/sheet.h"

#include <algorithm>
#include <array>
#include <span>

#include "chords/rewriting.h"
#include "chords/tokens.h"
#include "chords/transpose.h"

namespace melvane {
namespace {

using chords::Form;
using chords::LineEdits;
using chords::Note;
using chords::Token;

bool TransposeInto(std::u16string_view line, std::span<const std::size_t> starts,
                   std::span<const std::uint8_t> standIns, const SheetTransposer& sheet,
                   LineEdits& edits) {
    const TransposeSettings& settings = sheet.Settings();
    const SheetTransposer::Reading& reading = sheet.SongReading();
    chords::Rewriter rewriter(line, starts, standIns, settings.steps, settings.spelling >= 1,
                              reading.conventions, edits);
    const chords::KeyStretches* keys = sheet.KeySpelling();
    if (keys != nullptr) {
        rewriter.SpellByKey(*keys);
    }
    chords::ForEachMovingChord(line, rewriter, chords::ReadRules{reading.lowerCaseWords});
    rewriter.Finish();
    return !edits.edits.empty();
}

}  // namespace

SheetTransposer::SheetTransposer(const NoteTable& table, const TransposeSettings& settings)
    : table_(table), settings_(settings), keys_(settings.steps) {}

void SheetTransposer::Learn(std::u16string_view line, bool keyValue) {
    if (settings_.recognition == Recognition::Classic) {
        return;
    }
    scratchValid_ = false;
    Evidence& song = songs_[song_];
    const bool byKey = SpellsByKey(settings_);
    if (byKey) {
        const chords::KeyDeclaration* declared = keys_.LearnLine(line, keyValue);
        song.germanPhrases += declared != nullptr && declared->phrase == chords::KeyPhrase::German;
    }
    chords::ForEachMovingChord(
        line,
        [&song, byKey, line, this](const Token& token, bool onChordLine) {
            // A word of the lyrics read as a chord would make the whole song German.
            if (!onChordLine && !token.bracketed) {
                return;
            }
            if (byKey) {
                keys_.LearnChord(line, token);
            }
            ++song.chords;
            const auto count = [&song](const Note& note) {
                song.h += note.letter == u'H';
                song.bareB += note.letter == u'B' && note.accidental == 0;
                song.lower += note.lower;
                song.signNotes += note.form == Form::Sign;
                song.suffixNotes += note.form == Form::Suffix;
                song.shortNotes += note.form == Form::Short;
            };
            count(token.chord.root);
            if (token.chord.hasBass) {
                count(token.chord.bass);
            }
        },
        chords::ReadRules{true, true});
}

void SheetTransposer::StartSong() {
    scratchValid_ = false;
    songs_.emplace_back();
    song_ = songs_.size() - 1;
    keys_.StartSong();
}

void SheetTransposer::UseSong(std::size_t index) {
    if (!summed_) {
        for (const Evidence& song : songs_) {
            document_.chords += song.chords;
            document_.h += song.h;
            document_.bareB += song.bareB;
            document_.lower += song.lower;
            document_.signNotes += song.signNotes;
            document_.suffixNotes += song.suffixNotes;
            document_.shortNotes += song.shortNotes;
            document_.germanPhrases += song.germanPhrases;
        }
        summed_ = true;
    }
    song_ = std::min(index, songs_.size() - 1);
    reading_ = ReadSong();
    if (SpellsByKey(settings_)) {
        keys_.UseSong(song_, reading_.conventions);
    }
}

void SheetTransposer::UseLine(std::size_t index) {
    if (SpellsByKey(settings_)) {
        keys_.UseLine(index, SongReading().conventions);
    }
}

SheetTransposer::Reading SheetTransposer::ReadSong() const {
    Reading reading;
    reading.conventions.germanCustom = GermanCustom();
    reading.conventions.germanNames = GermanNames();
    reading.conventions.majority = !SuffixSheet()     ? Form::Sign
                                   : ShorthandSheet() ? Form::Short
                                                      : Form::Suffix;
    reading.lowerCaseWords = LowerCaseWords();
    if (SpellsByKey(settings_)) {
        // By key, German names or a German key phrase make the song German-custom too: a bare
        // B is B-flat, and B-natural is H.
        // A song that shows how it writes B (or German names) decides for itself, as above.
        const Evidence& shown = Shown([](const Evidence& e) {
            return e.h + e.bareB + e.suffixNotes + e.shortNotes + e.germanPhrases > 0;
        });
        if (shown.h + shown.suffixNotes + shown.shortNotes + shown.germanPhrases > 0) {
            reading.conventions.germanCustom = true;
            reading.conventions.germanNames = true;
            // Stating its key in German and writing no accidental of its own, it takes German
            // names for them ("Es", "Fis").
            if (shown.germanPhrases > 0 && !ShowsAccidentals(Shown(ShowsAccidentals))) {
                reading.conventions.majority = Form::Suffix;
            }
        }
    }
    return reading;
}

const SheetTransposer::Reading& SheetTransposer::SongReading() const {
    if (summed_) {
        return reading_;
    }
    if (!scratchValid_) {
        scratch_ = ReadSong();
        scratchValid_ = true;
    }
    return scratch_;
}

const SheetTransposer::Evidence& SheetTransposer::Shown(bool (*shows)(const Evidence&)) const {
    const Evidence& song = songs_[song_];
    // Before UseSong there is one song, or the caller reads songs in no order: the song it is.
    return (song.chords >= 2 && shows(song)) || !summed_ ? song : document_;
}

bool SheetTransposer::GermanCustom() const {
    return Shown([](const Evidence& e) { return e.h + e.bareB > 0; }).h > 0;
}

bool SheetTransposer::GermanNames() const {
    const Evidence& shown = Shown([](const Evidence& e) {
        return e.h + e.bareB + e.suffixNotes + e.shortNotes > 0 || e.lower >= 2;
    });
    if (shown.h > 0) {
        return true;
    }
    if (shown.bareB > 0) {
        return false;
    }
    // Lower-case chords count as a form from two on: one may be a word.
    if (shown.suffixNotes + shown.shortNotes > 0 || shown.lower >= 2) {
        return true;
    }
    switch (settings_.naming) {
        case NoteNaming::German:
            return true;
        case NoteNaming::English:
            return false;
        case NoteNaming::Auto:
            break;
    }
    return settings_.germanReader;
}

bool SheetTransposer::ShowsAccidentals(const Evidence& e) {
    return e.signNotes + e.suffixNotes + e.shortNotes > 0;
}

bool SheetTransposer::SuffixSheet() const {
    const Evidence& shown = Shown(ShowsAccidentals);
    // A song that writes B for B-natural is no German one, whatever the book's other songs do.
    if (&shown != &songs_[song_] && !GermanNames()) {
        return false;
    }
    return shown.suffixNotes + shown.shortNotes > shown.signNotes;
}

bool SheetTransposer::ShorthandSheet() const {
    const Evidence& shown = Shown(ShowsAccidentals);
    return shown.shortNotes > shown.suffixNotes;
}

bool SheetTransposer::LowerCaseWords() const {
    const Evidence& song = songs_[song_];
    if (song.chords >= 2) {
        return song.lower >= 2;
    }
    return Shown([](const Evidence&) { return false; }).lower >= 2;
}

std::vector<std::u16string> SheetTransposer::TransposeLine(
    const std::vector<std::u16string_view>& pieces, std::span<const std::uint8_t> standIns) const {
    std::vector<std::u16string> moved;
    moved.reserve(pieces.size());
    if (settings_.recognition == Recognition::Classic) {
        for (std::u16string_view piece : pieces) {
            moved.push_back(TransposeText(table_, piece, settings_.steps, settings_.spelling));
        }
        return moved;
    }
    std::u16string line;
    std::vector<std::size_t> starts{0};
    for (std::u16string_view piece : pieces) {
        line.append(piece);
        starts.push_back(line.size());
    }
    LineEdits edits;
    if (!TransposeInto(line, starts, standIns, *this, edits)) {
        moved.assign(pieces.begin(), pieces.end());
        return moved;
    }
    std::size_t firstEdit = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        moved.push_back(chords::ApplyToPiece(line, starts, i, edits, firstEdit));
    }
    return moved;
}

bool SheetTransposer::TransposeLineInto(std::u16string_view line, std::u16string& out) const {
    const std::size_t before = out.size();
    if (settings_.recognition == Recognition::Classic) {
        out += TransposeText(table_, line, settings_.steps, settings_.spelling);
    } else {
        const std::array<std::size_t, 2> starts{0, line.size()};
        LineEdits edits;
        edits.direct = &out;
        TransposeInto(line, starts, {}, *this, edits);
        if (edits.copied == 0) {
            out.append(line);
            return false;
        }
        out.append(line.substr(edits.copied));
    }
    return std::u16string_view(out).substr(before) != line;
}

std::u16string SheetTransposer::TransposeLine(std::u16string_view line) const {
    std::u16string moved;
    moved.reserve(line.size() + 16);
    TransposeLineInto(line, moved);
    return moved;
}

}  // namespace melvane

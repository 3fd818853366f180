// One document's chords moved with the sheet in view: every line is read first to learn how
// the sheet writes its chords (lower-case minor, German names, B or H), then each line is
// transposed. A songbook's songs each write their own way: the conventions are learned song by
// song, from chord lines and bracketed chords only, and a song that shows too little (fewer
// than two such chords, or nothing of a convention) takes the whole document's. The classic
// recognition (TransposeText on each piece alone) is one mode of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chords/key_spelling.h"
#include "chords/note_table.h"
#include "chords/spelling.h"

namespace melvane {

enum class Recognition {
    SheetAware,  // the default: reads the sheet's conventions and its chord lines
    Classic,     // TransposeText on every piece of text on its own
};

// How B-natural is written when the sheet itself does not tell (no H, no bare B).
enum class NoteNaming {
    Auto,     // the reader's convention: German when the messages are German
    German,   // H
    English,  // B
};

// How moved notes are written: all with sharps, all with flats, or by each stretch's key
// (sheet-aware recognition only).
enum Spelling : int { kSpellSharps = 0, kSpellFlats = 1, kSpellByKey = 2 };

// Each stretch's key, as the transposition moved it.
using KeyReport = std::vector<chords::StretchKey>;

struct TransposeSettings {
    std::int64_t steps = 0;
    int spelling = kSpellSharps;
    Recognition recognition = Recognition::SheetAware;
    NoteNaming naming = NoteNaming::Auto;
    bool germanReader = false;       // the messages are German: Auto falls back to German names
    KeyReport* keyReport = nullptr;  // filled with the stretches' keys when spelling by key
};

inline bool SpellsByKey(const TransposeSettings& settings) {
    return settings.spelling == kSpellByKey && settings.recognition == Recognition::SheetAware;
}

// The classic scan with these steps and spelling.
inline TransposeSettings ClassicSettings(std::int64_t steps, int spelling) {
    TransposeSettings settings;
    settings.steps = steps;
    settings.spelling = spelling;
    settings.recognition = Recognition::Classic;
    return settings;
}

class SheetTransposer {
  public:
    SheetTransposer(const NoteTable& table, const TransposeSettings& settings);

    // Pass 1: every line of the document, in document order. A line is a paragraph's text up
    // to a line break, without the break itself.
    // `keyValue`: the line is a key's name alone, a declaration ({key: Am}'s value).
    void Learn(std::u16string_view line, bool keyValue = false);
    // Pass 1: the lines learned from now on are a new song.
    void StartSong();
    // Pass 2: the lines transposed from now on belong to song `index`, counted as StartSong was
    // called in pass 1 (0 before the first call).
    void UseSong(std::size_t index);
    // Pass 2: the line transposed next is line `index` of pass 1 (from 0), after UseSong. Spelling
    // by key needs it to know the key changes and the chords that follow a line's.
    void UseLine(std::size_t index);

    // Pass 2: one line given as its pieces, in order (text nodes, runs: whatever the document
    // keeps apart); together they are the line. Returns each piece's new text, one per piece.
    // A chord that spans pieces is rewritten in the piece holding the first changed character
    // and removed from the later ones; spaces that keep columns change in the pieces that hold
    // them. `standIns` (empty, or one per piece) marks pieces that are never written back:
    // they get no change. Classic mode transposes every piece on its own.
    std::vector<std::u16string> TransposeLine(const std::vector<std::u16string_view>& pieces,
                                              std::span<const std::uint8_t> standIns = {}) const;

    // A line that is one piece.
    std::u16string TransposeLine(std::u16string_view line) const;
    // The same appended to `out`, whose memory a caller can keep from line to line; true when
    // the line changed.
    bool TransposeLineInto(std::u16string_view line, std::u16string& out) const;

    const TransposeSettings& Settings() const { return settings_; }

    // What pass 1 learned, for the song in use. German custom: the song writes H, so a bare B
    // is B-flat.
    bool GermanCustom() const;
    // B-natural is written H.
    bool GermanNames() const;
    // Most accidentals the song writes are German suffixes ("Fis", "Es"); of those, most are
    // the songbook shorthand ("Cs", "Fs").
    bool SuffixSheet() const;
    bool ShorthandSheet() const;
    // A bare lower-case word on a chord line ("a", "es") is a chord: the song writes at least
    // two lower-case chords.
    bool LowerCaseWords() const;

    // All of the above for the song in use, as the rewriting reads them.
    struct Reading {
        chords::Conventions conventions;
        bool lowerCaseWords = true;
    };
    const Reading& SongReading() const;

    // Spelling by key: the stretches, else nothing.
    const chords::KeyStretches* KeySpelling() const {
        return SpellsByKey(settings_) ? &keys_ : nullptr;
    }

  private:
    Reading ReadSong() const;

    // What a song's chord lines and bracketed chords show.
    struct Evidence {
        std::size_t chords = 0;
        std::size_t h = 0;
        std::size_t bareB = 0;
        std::size_t lower = 0;
        std::size_t signNotes = 0;
        std::size_t suffixNotes = 0;
        std::size_t shortNotes = 0;
        std::size_t germanPhrases = 0;  // "G-Dur", "a-Moll", "Tonart"
    };
    // The song in use when it shows enough, else the document.
    const Evidence& Shown(bool (*shows)(const Evidence&)) const;
    static bool ShowsAccidentals(const Evidence& e);

    const NoteTable& table_;
    TransposeSettings settings_;
    std::vector<Evidence> songs_{1};
    Evidence document_;
    std::size_t song_ = 0;  // learned or transposed now
    bool summed_ = false;   // document_ holds every song's evidence
    // The song in use, read once when pass 2 enters it (or line by line before UseSong).
    Reading reading_;
    mutable Reading scratch_;
    mutable bool scratchValid_ = false;
    chords::KeyStretches keys_;
};

}  // namespace melvane

// Keys: which key a stretch of chords is in, how a key is written after a move, and how each
// moved note is spelled from it, so that a song in B-flat reads Bb, Eb and F, not A#, D# and F.
// Pure functions over pitches and letters; the recognition fills their inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "chords/spelling.h"

namespace melvane::chords {

enum class Mode : std::uint8_t { Major, Minor };

struct Key {
    int tonic;  // pitch class, 0 = C
    Mode mode;
    bool operator==(const Key&) const = default;
};

// A note by letter and accidental: letter 0..6 is C D E F G A B (B-natural, the table's "H"),
// accidental -2..+2. Two spellings of one pitch differ here (F# and Gb, B and Cb).
struct SpelledNote {
    int letter;
    int accidental;
    bool operator==(const SpelledNote&) const = default;
};

// A key as written: its tonic's name and its mode.
struct SpelledKey {
    SpelledNote tonic;
    Mode mode;
    bool operator==(const SpelledKey&) const = default;
};

// The pitch class a spelled note sounds.
int PitchOf(SpelledNote note);

// `key` moved by `steps` semitones, same mode.
Key MovedKey(Key key, std::int64_t steps);

// How `key` is written with at most six accidentals: the flat side for F Bb Eb Ab Db (minor d g
// c f bb), the sharp side for G D A E B (minor e b f# c# g#). The one tonic six accidentals
// write either way, F#/Gb (minor d#/eb), takes sharps when `sharpSide`.
SpelledKey NameKey(Key key, bool sharpSide);

// The key `source` goes to after `steps`, written as above: the ambiguous tonic is sharp when
// moving up, flat when moving down, and at 0 as the sheet wrote it (`writtenSharp`: the
// declaration's tonic, else the stretch's first chord on the tonic, has a sharp).
SpelledKey TargetKey(Key source, std::int64_t steps, bool writtenSharp);

// `pitch` spelled by its degree above the key's tonic (b2 b3 #4 b6 b7 with the letter of the
// degree, minor's major third, sixth and seventh raised). A double accidental, and an E#, B#,
// Cb or Fb the key does not hold, become the plain note of the same pitch.
SpelledNote SpellInKey(int pitch, const SpelledKey& key);

enum class Seventh : std::uint8_t { None, Minor, Major, Diminished };

// What the key arithmetic needs to know of one chord. Pitches are as the sheet reads them (0 =
// C, PitchOf(note, germanCustom) from spelling.h; Ces's -1 and His's 12 are taken). The quality
// comes from the suffix between the root and the slash, which chord_grammar's Chord does not keep:
// minorMark for a leading m, mi, min or - (not maj); diminished for dim, °, ø or m7b5; augmented
// for aug or +; seventh Minor for 7 9 11 13 ø m7b5, Major for maj7 or M7, Diminished for dim7 or
// °7.
struct ChordFacts {
    int root;
    bool hasBass = false;
    int bass = 0;        // the slash bass, when hasBass
    bool lower = false;  // lower-case root: German minor unless minorMark says so anyway
    bool minorMark = false;
    bool diminished = false;
    bool augmented = false;
    Seventh seventh = Seventh::None;
};

// The semitones from the root to the chord's third and fifth.
int ThirdOf(const ChordFacts& chord);
int FifthOf(const ChordFacts& chord);

// True when `chord` is a tonic chord of `key`: on the tonic, the key's third, a perfect fifth,
// no dominant or diminished seventh (a major seventh, a minor chord's seventh, sixths and
// additions allowed).
bool IsTonicChord(const ChordFacts& chord, Key key);

// The key a stretch's chords are in: chord tones weighed (root twice, third and fifth once)
// against the Krumhansl-Kessler profiles of all 24 keys; among the keys within 0.8 of the best
// score, the one the last chord is the tonic chord of, else the first chord's, else the best.
// Nothing when there is nothing to weigh.
std::optional<Key> DetectKey(std::span<const ChordFacts> chords);

// The root of chords[i], moved by `steps`, spelled in `key` (the moved key). A diminished chord
// a semitone below the next chord's root takes the letter below that root (C#dim before Dm).
SpelledNote SpellRoot(std::span<const ChordFacts> chords, std::size_t i, const SpelledKey& key,
                      std::int64_t steps);

// The slash bass of chords[i] (which must have one), moved and spelled: the chord's third, fifth
// or named seventh by its letter above the spelled root (D/F#, Cm/Eb, C7/Bb), any other bass in
// the key.
SpelledNote SpellBass(std::span<const ChordFacts> chords, std::size_t i, const SpelledKey& key,
                      std::int64_t steps);

// `note` as the sheet writes names: signs, German suffixes or the shorthand per `form`, B-flat
// "B" and B-natural "H" as the conventions say, lower case kept.
NoteName SpelledName(SpelledNote note, Form form, bool lower, const Conventions& conventions);

enum class KeyPhrase : std::uint8_t { English, German };

// A key stated in a line.
struct KeyDeclaration {
    Key key;
    SpelledNote written;  // the tonic as written
    std::size_t start;    // the tonic's name in the line: "Bb" of "Key: Bbm", "fis" of "fis-Moll"
    std::size_t length;
    KeyPhrase phrase;  // German: "Tonart" or "-Dur"/"-Moll", German names (B = B-flat, H)
    Form form;         // how the tonic wrote its accidental, Form::None without one
    bool lower;
};

// The first key stated in `line`: "Key: G", "Key of Em", "Key - Bb", "{key: Am}", "Tonart: D",
// "Tonart G-Dur", "X-Dur" / "x-Moll" / "X-Moll" anywhere, "X major" / "X minor" after "in" or
// "Key" or alone in brackets.
std::optional<KeyDeclaration> FindKeyDeclaration(std::u16string_view line);

// The text that replaces the declaration's tonic name once the key is `target`, in the phrase's
// own form ("Bb" for "Key: G" +3, "B" for "Tonart: G-Dur" +3, "h" for "a-Moll" +2).
NoteName DeclaredTonicName(const KeyDeclaration& declaration, const SpelledKey& target);

}  // namespace melvane::chords

// Spelling by key in the two passes: a document is read as stretches (songs, and a new stretch
// at a key change), each with one key, declared or found in its chords; every moved note is then
// spelled from the stretch's moved key, and the declared key moves with the chords.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "chords/keys.h"
#include "chords/spelling.h"
#include "chords/tokens.h"

namespace melvane::chords {

// A stretch's key before and after the move.
struct StretchKey {
    SpelledKey from;
    SpelledKey to;
    bool declared;
    bool germanCustom;  // its song reads a bare B as B-flat
};

// What the key arithmetic reads from a chord token of `line`.
ChordFacts FactsOf(std::u16string_view line, const Token& token, bool germanCustom);

class KeyStretches {
  public:
    explicit KeyStretches(std::int64_t steps) : steps_(steps) {}

    // Pass 1, in document order: a song starts (always a new stretch), a line, and the chords
    // of that line its conventions are learned from. Returns the line's key declaration.
    void StartSong();
    // `keyValue`: the line is a key's name alone ("Am" of "{key: Am}").
    const KeyDeclaration* LearnLine(std::u16string_view line, bool keyValue);
    void LearnChord(std::u16string_view line, const Token& token);

    // Pass 2: the song's first stretch, then each line (counted as in pass 1) as it comes. A
    // stretch's key is settled when pass 2 enters it, with its song's conventions.
    void UseSong(std::size_t song, const Conventions& conventions);
    void UseLine(std::size_t line, const Conventions& conventions);

    // The names of the token's root and bass (when it has one), moved.
    void Spell(std::u16string_view line, const Token& token, const Conventions& conventions,
               NoteName& root, NoteName& bass) const;
    // The key declaration on the line in use; nothing when the line declares none.
    const KeyDeclaration* LineDeclaration() const;
    // Its tonic's new name.
    NoteName DeclarationName(const Conventions& conventions) const;

    // Every stretch with a key that pass 2 has entered, in order.
    std::vector<StretchKey> Keys() const;

  private:
    struct Where {
        std::uint32_t line;   // a sheet of more lines or longer ones is no song sheet
        std::uint32_t start;  // the root's, in the line
        bool rootBareB;       // read as B-natural so far; B-flat in a German-custom song
        bool bassBareB;
        bool rootSharp;
    };
    struct Stretch {
        std::size_t song;
        std::size_t firstLine;
        std::size_t firstChord;
        std::size_t endChord;
        std::optional<KeyDeclaration> declaration;
        std::size_t declarationLine = 0;
        bool settled = false;
        bool keyed = false;  // declared, or found in its chords
        bool germanCustom = false;
        SpelledKey from{};
        SpelledKey to{};
        std::array<SpelledNote, 12> names{};  // each pitch spelled in `to`
    };

    Stretch& Settled(const Conventions& conventions) const;
    void StartStretch(std::size_t line);

    std::int64_t steps_;
    mutable std::vector<Stretch> stretches_{Stretch{0, 0, 0, 0, {}, 0}};
    mutable std::vector<ChordFacts> facts_;
    std::vector<Where> where_;
    std::size_t song_ = 0;
    std::size_t lines_ = 0;  // learned so far
    std::optional<KeyDeclaration> found_;
    // Pass 2.
    std::size_t stretch_ = 0;
    std::size_t line_ = ~std::size_t{0};
    mutable std::size_t cursor_ = 0;  // the first chord of the stretch not yet behind us
};

}  // namespace melvane::chords

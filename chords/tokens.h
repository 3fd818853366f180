// Tokens and line classification: which tokens of a line are chords that move. A line is read
// in tab-separated parts; a part where chords outnumber words is a chord line, read with the
// broad grammar; in any other part only narrow-grammar chords move, and "A" or "Am" before a
// word stays (the article, the preposition).
#pragma once

#include <concepts>
#include <cstddef>
#include <string_view>

#include "chords/chord_grammar.h"

namespace melvane::chords {

enum class Kind {
    Other,    // no letter: numbers, dashes, bar lines
    Word,     // lyrics, titles
    Neutral,  // N.C., repeat marks
    Label,    // "Intro:", "Strophe 2:"
    Chord,
};

// No default values: a part's tokens are kept in an array that is only read where it was
// written.
struct Token {
    std::size_t start;
    std::size_t lead;  // past the leading decoration
    std::size_t end;
    Kind kind;
    bool beforeWord;  // the next token of its part is a word
    Chord chord;      // positions in the line, when kind is Chord
};

class MovingChordVisitor {
  public:
    // `token` is a chord (its positions in the line); `onChordLine` when its part is a chord
    // line, where columns are kept.
    virtual void Visit(const Token& token, bool onChordLine) = 0;

  protected:
    ~MovingChordVisitor() = default;
};

// Visits every chord of the line that moves, left to right.
void ForEachMovingChord(std::u16string_view line, MovingChordVisitor& visitor);

template <typename Callback>
requires std::invocable<Callback&, const Token&, bool>
void ForEachMovingChord(std::u16string_view line, Callback&& callback) {
    struct Adapter final : MovingChordVisitor {
        explicit Adapter(Callback& callback) : callback_(callback) {}
        void Visit(const Token& token, bool onChordLine) override { callback_(token, onChordLine); }
        Callback& callback_;
    } adapter(callback);
    ForEachMovingChord(line, static_cast<MovingChordVisitor&>(adapter));
}

}  // namespace melvane::chords

// Spelling: the name a moved note is written with, as the sheet writes its names (signs, German
// suffixes or the songbook shorthand; B or H; lower case kept).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "chords/chord_grammar.h"
#include "chords/note_table.h"
#include "chords/transpose.h"

namespace melvane::chords {

// What pass 1 learned about the sheet.
struct Conventions {
    bool germanCustom = false;  // bare B is B-flat
    bool germanNames = false;   // B-natural is H
    Form majority = Form::Sign;
};

// A note's name: at most a letter and two more characters ("Ges", "cis").
struct NoteName {
    std::array<char16_t, 3> text;
    std::size_t length;
    std::u16string_view View() const { return {text.data(), length}; }
};

// Each letter's pitch class (0 = C) as the note table places its plain name; "B" is read as
// "H", as the table moves it.
inline constexpr std::array<int, 8> kLetterPitch = [] {
    std::array<int, 8> pitch{};
    for (int row = 1; row <= kNoteRows; ++row) {
        const std::u16string_view name = kNoteNames[kSharpColumn][row - 1];
        if (name.size() == 1) {
            pitch[name[0] - u'A'] = (row == kRowB ? kRowH : row) - 1;
        }
    }
    return pitch;
}();

inline int PitchOf(const Note& note, bool germanCustom) {
    int pitch = kLetterPitch[note.letter - u'A'];
    if (note.letter == u'B' && note.accidental == 0 && germanCustom) {
        pitch -= 1;
    }
    return pitch + note.accidental;
}

// The name of `pitch` (0 = C) as the sheet writes it.
inline NoteName PitchName(int pitch, bool flats, Form form, bool lower,
                          const Conventions& conventions) {
    const std::u16string_view written = kNoteNames[flats ? kFlatColumn : kSharpColumn][pitch];
    const char16_t letter = written[0];
    NoteName name{};
    const auto add = [&name](char16_t c) { name.text[name.length++] = c; };
    if (letter == u'H') {
        add(conventions.germanNames ? u'H' : u'B');
    } else if (written.size() == 1) {
        add(letter);
    } else if (letter == u'B') {
        add(u'B');
        if (!conventions.germanCustom) {
            add(u'b');
        }
    } else if (form == Form::Sign || form == Form::None) {
        add(letter);
        add(written[1]);
    } else if (flats) {  // "Des", "Ges", but "Es", "As"
        add(letter);
        if (letter != u'E' && letter != u'A') {
            add(u'e');
        }
        add(u's');
    } else if (form == Form::Short && letter != u'A') {
        add(letter);
        add(u's');
    } else {
        add(letter);
        add(u'i');
        add(u's');
    }
    if (lower) {
        name.text[0] = static_cast<char16_t>(name.text[0] + 32);
    }
    return name;
}

// The name of `note` moved by `shift` semitones (0..11), spelt with flats or sharps in the
// note's own form, else in that of `other` (the chord's other note, if any), else in the
// sheet's majority.
inline NoteName MovedName(const Note& note, const Note* other, int shift, bool flats,
                          const Conventions& conventions) {
    Form form = note.form;
    if (form == Form::None && other != nullptr) {
        form = other->form;
    }
    if (form == Form::None) {
        form = conventions.majority;
    }
    const int pitch = ShiftPitch(PitchOf(note, conventions.germanCustom), shift);
    return PitchName(pitch, flats, form, note.lower, conventions);
}

}  // namespace melvane::chords

#include "chords/key_spelling.h"

#include <algorithm>
#include <array>

#include "chords/transpose.h"

namespace melvane::chords {
namespace {

bool Has(std::u16string_view suffix, std::u16string_view part) {
    return suffix.find(part) != std::u16string_view::npos;
}

// A 9, 11 or 13 that names the chord's extension, not an added note ("add9", "6/9", "sus9").
bool NamesExtension(std::u16string_view suffix) {
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const bool nine = suffix[i] == u'9';
        const bool eleven = suffix.substr(i, 2) == u"11" || suffix.substr(i, 2) == u"13";
        if (!nine && !eleven) {
            continue;
        }
        const std::u16string_view before = suffix.substr(0, i);
        if (!before.ends_with(u"add") && !before.ends_with(u"sus") && !before.ends_with(u"6") &&
            !before.ends_with(u"/") && !before.ends_with(u"b") && !before.ends_with(u"#")) {
            return true;
        }
        i += eleven ? 1 : 0;
    }
    return false;
}

constexpr std::size_t kNoLine = ~std::size_t{0};

}  // namespace

ChordFacts FactsOf(std::u16string_view line, const Token& token, bool germanCustom) {
    const Chord& chord = token.chord;
    const std::size_t from = chord.root.start + chord.root.length;
    const std::size_t to = chord.hasBass ? chord.bass.start - 1 : token.end;
    const std::u16string_view suffix = line.substr(from, to > from ? to - from : 0);
    ChordFacts facts{PitchOf(chord.root, germanCustom)};
    if (chord.hasBass) {
        facts.hasBass = true;
        facts.bass = PitchOf(chord.bass, germanCustom);
    }
    facts.lower = chord.root.lower;
    facts.minorMark =
        (suffix.starts_with(u"m") && !suffix.starts_with(u"maj")) || suffix.starts_with(u"-");
    facts.diminished = Has(suffix, u"dim") || Has(suffix, u"°") || Has(suffix, u"ø") ||
                       Has(suffix, u"m7b5") || Has(suffix, u"o7");
    facts.augmented = Has(suffix, u"aug") || Has(suffix, u"+");
    if (Has(suffix, u"maj") || Has(suffix, u"M7") || Has(suffix, u"j7") || Has(suffix, u"Δ")) {
        facts.seventh = Seventh::Major;
    } else if (Has(suffix, u"dim7") || Has(suffix, u"°7") || Has(suffix, u"o7")) {
        facts.seventh = Seventh::Diminished;
    } else if (Has(suffix, u"7") || Has(suffix, u"ø") || NamesExtension(suffix)) {
        facts.seventh = Seventh::Minor;
    }
    return facts;
}

void KeyStretches::StartStretch(std::size_t line) {
    stretches_.push_back({song_, line, facts_.size(), facts_.size(), {}, 0});
}

void KeyStretches::StartSong() {
    ++song_;
    StartStretch(lines_);
}

const KeyDeclaration* KeyStretches::LearnLine(std::u16string_view line, bool keyValue) {
    const std::size_t index = lines_++;
    if (keyValue) {
        constexpr std::u16string_view kLabel = u"key:";
        std::u16string labelled(kLabel);
        labelled += line;
        found_ = FindKeyDeclaration(labelled);
        if (found_ && found_->start >= kLabel.size()) {
            found_->start -= kLabel.size();
        } else {
            found_.reset();
        }
    } else {
        found_ = FindKeyDeclaration(line);
    }
    if (!found_) {
        return nullptr;
    }
    if (stretches_.back().declaration) {
        StartStretch(index);  // a key change
    }
    stretches_.back().declaration = found_;
    stretches_.back().declarationLine = index;
    return &*found_;
}

void KeyStretches::LearnChord(std::u16string_view line, const Token& token) {
    // The tonic a declaration names is no chord of the song.
    if (found_ && token.chord.root.start == found_->start) {
        return;
    }
    const Chord& chord = token.chord;
    const auto bareB = [](const Note& note) { return note.letter == u'B' && note.accidental == 0; };
    facts_.push_back(FactsOf(line, token, false));
    where_.push_back({lines_ - 1, chord.root.start, bareB(chord.root),
                      chord.hasBass && bareB(chord.bass), chord.root.accidental > 0});
    stretches_.back().endChord = facts_.size();
}

void KeyStretches::UseSong(std::size_t song, const Conventions& conventions) {
    while (stretch_ + 1 < stretches_.size() && stretches_[stretch_].song < song) {
        ++stretch_;
    }
    cursor_ = stretches_[stretch_].firstChord;
    Settled(conventions);
}

void KeyStretches::UseLine(std::size_t line, const Conventions& conventions) {
    line_ = line;
    const std::size_t before = stretch_;
    while (stretch_ + 1 < stretches_.size() && stretches_[stretch_ + 1].firstLine <= line) {
        ++stretch_;
    }
    if (stretch_ != before) {
        cursor_ = stretches_[stretch_].firstChord;
        Settled(conventions);
    }
}

KeyStretches::Stretch& KeyStretches::Settled(const Conventions& conventions) const {
    Stretch& stretch = stretches_[stretch_];
    if (stretch.settled) {
        return stretch;
    }
    stretch.settled = true;
    for (std::size_t i = stretch.firstChord; conventions.germanCustom && i < stretch.endChord;
         ++i) {
        facts_[i].root -= where_[i].rootBareB ? 1 : 0;
        facts_[i].bass -= where_[i].bassBareB ? 1 : 0;
    }
    const std::span<const ChordFacts> chords(facts_.data() + stretch.firstChord,
                                             stretch.endChord - stretch.firstChord);
    std::optional<Key> key;
    bool sharp = false;
    if (stretch.declaration) {
        key = stretch.declaration->key;
        sharp = stretch.declaration->written.accidental > 0;
        stretch.from = {stretch.declaration->written, key->mode};
    } else if ((key = DetectKey(chords))) {
        // The one tonic either side writes (F#/Gb) as the song's first chord on it does.
        for (std::size_t i = stretch.firstChord; i < stretch.endChord; ++i) {
            if (ShiftPitch(facts_[i].root, 0) == key->tonic) {
                sharp = where_[i].rootSharp;
                break;
            }
        }
        stretch.from = TargetKey(*key, 0, sharp);
    }
    stretch.keyed = key.has_value();
    stretch.germanCustom = conventions.germanCustom;
    // A stretch without chords or a key spells what lyrics hold as C major would.
    stretch.to = TargetKey(key.value_or(Key{0, Mode::Major}), steps_, sharp);
    return stretch;
}

void KeyStretches::Spell(std::u16string_view line, const Token& token,
                         const Conventions& conventions, NoteName& root, NoteName& bass) const {
    const Stretch& stretch = Settled(conventions);
    const Chord& chord = token.chord;
    // The chord as pass 1 saw it, so that the next chord (perhaps on a later line) is known.
    while (cursor_ < stretch.endChord &&
           (where_[cursor_].line < line_ ||
            (where_[cursor_].line == line_ && where_[cursor_].start < chord.root.start))) {
        ++cursor_;
    }
    const bool known = cursor_ < stretch.endChord && where_[cursor_].line == line_ &&
                       where_[cursor_].start == chord.root.start;
    std::array<ChordFacts, 2> alone;
    std::span<const ChordFacts> chords;
    std::size_t index = 0;
    if (known) {
        chords = {facts_.data() + stretch.firstChord, stretch.endChord - stretch.firstChord};
        index = cursor_ - stretch.firstChord;
    } else {
        alone[0] = FactsOf(line, token, conventions.germanCustom);
        const bool next = cursor_ < stretch.endChord;
        if (next) {
            alone[1] = facts_[cursor_];
        }
        chords = {alone.data(), next ? 2u : 1u};
    }
    const Note* other = chord.hasBass ? &chord.bass : nullptr;
    const auto formOf = [&conventions](const Note& note, const Note* second) {
        Form form = note.form;
        if (form == Form::None && second != nullptr) {
            form = second->form;
        }
        return form == Form::None ? conventions.majority : form;
    };
    root = SpelledName(SpellRoot(chords, index, stretch.to, steps_), formOf(chord.root, other),
                       chord.root.lower, conventions);
    if (chord.hasBass) {
        bass = SpelledName(SpellBass(chords, index, stretch.to, steps_),
                           formOf(chord.bass, &chord.root), chord.bass.lower, conventions);
    }
}

const KeyDeclaration* KeyStretches::LineDeclaration() const {
    const Stretch& stretch = stretches_[stretch_];
    return stretch.declaration && stretch.declarationLine == line_ && line_ != kNoLine
               ? &*stretch.declaration
               : nullptr;
}

NoteName KeyStretches::DeclarationName(const Conventions& conventions) const {
    return DeclaredTonicName(*stretches_[stretch_].declaration, Settled(conventions).to);
}

std::vector<StretchKey> KeyStretches::Keys() const {
    std::vector<StretchKey> keys;
    for (const Stretch& stretch : stretches_) {
        if (stretch.settled && stretch.keyed) {
            keys.push_back(
                {stretch.from, stretch.to, stretch.declaration.has_value(), stretch.germanCustom});
        }
    }
    return keys;
}

}  // namespace melvane::chords

#include "chords/key_spelling.h"

#include <algorithm>
#include <array>

#include "chords/characters.h"
#include "chords/token_memo.h"
#include "chords/transpose.h"

namespace melvane::chords {
namespace {

// The quality a suffix names, read in one walk: most suffixes are empty, "m" or "7".
void ReadSuffix(std::u16string_view suffix, ChordFacts& facts) {
    if (suffix.empty()) {
        return;
    }
    bool major = false;
    bool diminishedSeventh = false;
    bool seventh = false;
    const auto at = [suffix](std::size_t i, std::u16string_view part) {
        if (i + part.size() > suffix.size()) {
            return false;
        }
        for (std::size_t k = 0; k < part.size(); ++k) {
            if (suffix[i + k] != part[k]) {
                return false;
            }
        }
        return true;
    };
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        switch (suffix[i]) {
            case u'd':
                if (at(i, u"dim")) {
                    facts.diminished = true;
                    diminishedSeventh = diminishedSeventh || at(i + 3, u"7");
                }
                break;
            case u'°':
            case u'o':
                if (suffix[i] == u'°' || at(i + 1, u"7")) {
                    facts.diminished = true;
                    diminishedSeventh = diminishedSeventh || at(i + 1, u"7");
                }
                break;
            case u'ø':
                facts.diminished = true;
                seventh = true;
                break;
            case u'a':
                facts.augmented = facts.augmented || at(i, u"aug");
                break;
            case u'+':
                facts.augmented = true;
                break;
            case u'm':
                major = major || at(i, u"maj");
                facts.diminished = facts.diminished || at(i, u"m7b5");
                break;
            case u'M':
            case u'j':
                major = major || at(i + 1, u"7");
                break;
            case u'Δ':
                major = true;
                break;
            case u'7':
                seventh = true;
                break;
            case u'9':
            case u'1':
                // 9, 11 or 13 name the chord's extension, unless added or altered ("add9",
                // "6/9", "sus9", "b9", "#11").
                if (suffix[i] == u'9' || at(i, u"11") || at(i, u"13")) {
                    const char16_t before = i > 0 ? suffix[i - 1] : u'\0';
                    seventh = seventh || !((i >= 3 && (at(i - 3, u"add") || at(i - 3, u"sus"))) ||
                                           before == u'6' || before == u'/' || before == u'b' ||
                                           before == u'#');
                    i += suffix[i] == u'1' ? 1 : 0;
                }
                break;
            default:
                break;
        }
    }
    facts.minorMark = (suffix[0] == u'm' && !at(0, u"maj")) || suffix[0] == u'-';
    facts.seventh = major               ? Seventh::Major
                    : diminishedSeventh ? Seventh::Diminished
                    : seventh           ? Seventh::Minor
                                        : Seventh::None;
}

constexpr std::size_t kNoLine = ~std::size_t{0};

// A song's chords repeat: what a chord says of its key is remembered by its text and the shape
// its notes were read in.
constinit thread_local TokenMemo<ChordFacts> knownFacts;

ChordFacts LearnedFactsOf(std::u16string_view line, const Token& token) {
    const Chord& chord = token.chord;
    const std::size_t from = chord.root.start;
    const std::size_t size = token.end - from;
    if (size == 0 || size > TokenMemo<ChordFacts>::kLongest) {
        return FactsOf(line, token, false);
    }
    const std::uint32_t shape =
        chord.root.length |
        (chord.hasBass ? (1u | (static_cast<std::uint32_t>(chord.bass.start - from) << 1) |
                          (std::uint32_t{chord.bass.length} << 5))
                             << 4
                       : 0u);
    return knownFacts.Get(line, from, size, shape,
                          [&](std::u16string_view) { return FactsOf(line, token, false); });
}

}  // namespace

ChordFacts FactsOf(std::u16string_view line, const Token& token, bool germanCustom) {
    const Chord& chord = token.chord;
    const std::size_t from = chord.root.start + chord.root.length;
    const std::size_t to = chord.hasBass ? chord.bass.start - 1 : token.end;
    const std::u16string_view suffix(line.data() + from, to > from ? to - from : 0);
    ChordFacts facts{PitchOf(chord.root, germanCustom)};
    if (chord.hasBass) {
        facts.hasBass = true;
        facts.bass = PitchOf(chord.bass, germanCustom);
    }
    facts.lower = chord.root.lower;
    ReadSuffix(suffix, facts);
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
    facts_.push_back(LearnedFactsOf(line, token));
    where_.push_back({static_cast<std::uint32_t>(lines_ - 1),
                      static_cast<std::uint32_t>(chord.root.start), bareB(chord.root),
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
    for (int pitch = 0; pitch < 12; ++pitch) {
        stretch.names[pitch] = SpellInKey(pitch, stretch.to);
    }
    return stretch;
}

void KeyStretches::Spell(std::u16string_view line, const Token& token,
                         const Conventions& conventions, NoteName& root, NoteName& bass) const {
    const Stretch& stretch = Settled(conventions);
    const Chord& chord = token.chord;
    // The chord as pass 1 saw it, so that the next chord (perhaps on a later line) is known.
    // Lines come in order, so the place is found by stepping on; a line read again (or out of
    // order) is looked up.
    const auto before = [this, &chord](std::size_t k) {
        return where_[k].line < line_ ||
               (where_[k].line == line_ && where_[k].start < chord.root.start);
    };
    if (cursor_ < stretch.firstChord || cursor_ > stretch.endChord ||
        (cursor_ > stretch.firstChord && !before(cursor_ - 1))) {
        std::size_t low = stretch.firstChord;
        std::size_t high = stretch.endChord;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (before(middle)) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        cursor_ = low;
    }
    while (cursor_ < stretch.endChord && before(cursor_)) {
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
    // Only a diminished chord leading a semitone up needs more than its pitch in the key.
    const ChordFacts& facts = chords[index];
    const bool leads = facts.diminished && index + 1 < chords.size() &&
                       ShiftPitch(chords[index + 1].root - facts.root, 0) == 1;
    const SpelledNote rootNote = leads ? SpellRoot(chords, index, stretch.to, steps_)
                                       : stretch.names[ShiftPitch(facts.root, steps_)];
    root = SpelledName(rootNote, formOf(chord.root, other), chord.root.lower, conventions);
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

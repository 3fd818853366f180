// The vocabulary of chord symbols: thirteen note names in a sharp and a flat spelling, each
// paired with a compiled pattern that recognises a chord symbol built on that note.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

struct pcre2_real_code_16;
struct pcre2_real_match_data_16;

namespace melvane {

// Note indices run from 1 to 13; rows 1-12 are the pitch classes from C upwards and row 13 is
// "B", a second name of "H" that is only ever read, never written.
inline constexpr int kNoteRows = 13;
inline constexpr int kRowA = 10;
inline constexpr int kRowH = 12;
inline constexpr int kRowB = 13;

inline constexpr int kSharpColumn = 0;
inline constexpr int kFlatColumn = 1;

// Every note name by column and row: the one source of names and of a letter's pitch.
inline constexpr std::array<std::array<std::u16string_view, kNoteRows>, 2> kNoteNames = {{
    {u"C", u"C#", u"D", u"D#", u"E", u"F", u"F#", u"G", u"G#", u"A", u"A#", u"H", u"B"},
    {u"C", u"Db", u"D", u"Eb", u"E", u"F", u"Gb", u"G", u"Ab", u"A", u"Bb", u"H", u"B"},
}};

// Appended to every note name to form its chord pattern.
inline constexpr std::u16string_view kChordPatternSuffix =
    u"(m)?[7]{0,1}(maj7){0,1}(add[2-9]){0,1}(sus[2-9]){0,1}[/]{0,4}[ ]";

// The longest subject text any chord pattern can match: a two-character name, "m", "7",
// "maj7", "addN", "susN", four slashes and the closing space.
inline constexpr std::size_t kLongestChordMatch = 2 + 1 + 1 + 4 + 4 + 4 + 4 + 1;

// Working memory for pattern searches, made on first use. Each caller keeps its own, so the
// table itself stays read-only and can be shared.
class MatchScratch {
  public:
    MatchScratch() = default;
    ~MatchScratch();
    MatchScratch(const MatchScratch&) = delete;
    MatchScratch& operator=(const MatchScratch&) = delete;

    pcre2_real_match_data_16* Get();

  private:
    pcre2_real_match_data_16* data_ = nullptr;
};

// One compiled regular expression. A pattern that failed to compile stays empty and never
// matches, so a broken table cell simply recognises nothing.
class ChordPattern {
  public:
    ChordPattern() = default;
    static ChordPattern Compile(std::u16string_view patternText);

    bool IsCompiled() const { return code_ != nullptr; }
    // True when the pattern occurs anywhere in the subject (unanchored, case-sensitive).
    bool Search(std::u16string_view subject, MatchScratch& scratch) const;
    bool Search(std::u16string_view subject) const;

  private:
    struct Deleter {
        void operator()(pcre2_real_code_16* code) const;
    };
    std::unique_ptr<pcre2_real_code_16, Deleter> code_;
};

struct NoteEntry {
    std::u16string name;
    ChordPattern pattern;
};

class NoteTable {
  public:
    // row: 1..13, column: kSharpColumn or kFlatColumn.
    const NoteEntry& Cell(int row, int column) const { return cells_[column][row - 1]; }

  private:
    friend NoteTable BuildNoteTables();
    std::array<std::array<NoteEntry, kNoteRows>, 2> cells_;
};

// Fills every cell (sharp column rows 1-13, then the flat column) with its name and its own
// compiled pattern: 26 patterns in all. Built once at start-up and shared read-only.
NoteTable BuildNoteTables();

}  // namespace melvane

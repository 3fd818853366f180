#include "chords/charts.h"

#include <cstddef>

#include "chords/characters.h"

namespace melvane::chords {
namespace {

bool IsNoteLetter(char16_t c) {
    const char16_t letter = Upper(c);
    return letter >= u'A' && letter <= u'H';
}

bool IsAccidental(char16_t c) {
    return c == u'#' || c == u'b' || c == kSharpSign || c == kFlatSign;
}

// After a string's name: "|" and then mostly dashes and fret numbers.
bool IsTablature(std::u16string_view line) {
    std::size_t i = 0;
    while (i < line.size() && line[i] == u' ') {
        ++i;
    }
    if (i < line.size() && IsNoteLetter(line[i])) {
        ++i;
        if (i < line.size() && IsAccidental(line[i])) {
            ++i;
        }
        while (i < line.size() && line[i] == u' ') {
            ++i;
        }
    }
    if (i == line.size() || line[i] != u'|') {
        return false;
    }
    std::size_t marks = 0;
    std::size_t dashes = 0;
    std::size_t others = 0;
    for (++i; i < line.size(); ++i) {
        const char16_t c = line[i];
        if (c == u'-') {
            ++dashes;
        } else if (IsDigit(c)) {
            ++marks;
        } else if (!IsSeparator(c) && c != u'|') {
            ++others;
        }
    }
    return dashes >= 3 && dashes + marks > others;
}

// The tokens of `line` with bar lines as separators too.
class Words {
  public:
    explicit Words(std::u16string_view line) : line_(line) {}
    bool Next(std::u16string_view& word) {
        while (at_ < line_.size() && (IsSeparator(line_[at_]) || line_[at_] == u'|')) {
            ++at_;
        }
        if (at_ == line_.size()) {
            return false;
        }
        const std::size_t start = at_;
        while (at_ < line_.size() && !IsSeparator(line_[at_]) && line_[at_] != u'|') {
            ++at_;
        }
        word = line_.substr(start, at_ - start);
        return true;
    }

  private:
    std::u16string_view line_;
    std::size_t at_ = 0;
};

bool IsStringName(std::u16string_view word) {
    return (word.size() == 1 || (word.size() == 2 && IsAccidental(word[1]))) &&
           IsNoteLetter(word[0]);
}

// Six strings' names in a row: a tuning.
bool IsTuning(std::u16string_view line) {
    Words words(line);
    std::u16string_view word;
    int names = 0;
    while (words.Next(word)) {
        if (!IsStringName(word) || ++names > 6) {
            return false;
        }
    }
    return names == 6;
}

bool IsFretPlace(char16_t c) {
    return IsDigit(c) || c == u'x' || c == u'X' || c == u'o' || c == u'O';
}

// Each chord's name (with or without a colon) followed by its six strings' frets: "D: xx0232",
// "B |x 2=4=4=4=2|". Frets part by spaces, bar lines, "=" or "-".
bool IsFingeringChart(std::u16string_view line) {
    Words words(line);
    std::u16string_view word;
    int charts = 0;
    int places = 6;
    while (words.Next(word)) {
        if (places == 6) {
            // A chord's name: a note letter, and no fret place before the frets.
            if (!IsNoteLetter(word[0]) || IsDigit(word[0])) {
                return false;
            }
            places = 0;
            ++charts;
            continue;
        }
        for (char16_t c : word) {
            if (IsFretPlace(c)) {
                if (++places > 6) {
                    return false;
                }
            } else if (c != u'=' && c != u'-') {
                return false;
            }
        }
    }
    return charts > 0 && places == 6;
}

}  // namespace

bool IsTablatureOrChart(std::u16string_view line) {
    return IsTablature(line) || IsTuning(line) || IsFingeringChart(line);
}

}  // namespace melvane::chords

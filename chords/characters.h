// The character classes a sheet is read by: what parts tokens, what decorates a chord, what
// counts as a letter. Shared by the chord grammar, the tokens and the rewriting.
#pragma once

#include <array>
#include <string_view>

namespace melvane::chords {

// Spaces and tabs part tokens; a carriage return or other line-end character is never part of
// one either, so "\r" before a line feed stays with the line end.
constexpr bool IsSeparator(char16_t c) {
    // Bits 9 (tab), 10 (line feed), 11 (line tabulation), 13 (carriage return), 32 (space).
    return c <= u' ' && ((0x100002E00ull >> c) & 1u) != 0;
}

// A separator that is not a tab: tabs also divide a line into parts.
constexpr bool IsSeparatorInPart(char16_t c) {
    return c <= u' ' && ((0x100002C00ull >> c) & 1u) != 0;
}

// A set of ASCII characters, tested by table lookup.
class AsciiSet {
  public:
    constexpr explicit AsciiSet(std::u16string_view characters) {
        for (char16_t c : characters) {
            in_[c] = true;
        }
    }
    constexpr bool operator()(char16_t c) const { return c < 128 && in_[c]; }

  private:
    std::array<bool, 128> in_{};
};

constexpr bool IsLeadingDecoration(char16_t c) {
    return c == u'(' || c == u'[' || c == u'{' || c == u'|';
}

inline constexpr AsciiSet kTrailingDecoration(u")]}|.,;:*'!");

constexpr bool IsTrailingDecoration(char16_t c) {
    return kTrailingDecoration(c);
}

// Nothing but trailing decoration from s[i] on.
constexpr bool OnlyTrailingDecoration(std::u16string_view s, std::size_t i) {
    for (; i < s.size(); ++i) {
        if (!IsTrailingDecoration(s[i])) {
            return false;
        }
    }
    return true;
}

constexpr bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Letters of any script count; punctuation, symbols (among them ♯ ♭ °) and × ÷ do not.
constexpr bool IsLetter(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
        return true;
    }
    return c >= 0xC0 && c != 0xD7 && c != 0xF7 && !(c >= 0x2000 && c < 0x2C00) &&
           !(c >= 0x3000 && c < 0x3040) && !(c >= 0xFE00 && c < 0xFF10);
}

constexpr char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

inline constexpr char16_t kSharpSign = u'\u266F';
inline constexpr char16_t kFlatSign = u'\u266D';

}  // namespace melvane::chords

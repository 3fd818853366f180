// A song uses a small vocabulary of chords over and over, and every line is read twice: what a
// short token reads as is kept in a small table, so a token met again costs a look-up instead of
// a reading. The table only ever holds what the reader itself said.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace melvane::chords {

template <typename Value>
class TokenMemo {
  public:
    static constexpr std::size_t kLongest = 8;

    // What `read(s)` says of `s` (1 to kLongest characters): remembered, or read now. `kind`
    // tells readings of the same text apart (a grammar).
    template <typename Read>
    const Value& Get(std::u16string_view s, unsigned kind, Read&& read) {
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        const auto at = [&s](std::size_t i, int shift) { return std::uint64_t{s[i]} << shift; };
        // Unrolled: this runs for nearly every token, and most are a few characters long.
        switch (s.size()) {
            case 8:
                high |= at(7, 48);
                [[fallthrough]];
            case 7:
                high |= at(6, 32);
                [[fallthrough]];
            case 6:
                high |= at(5, 16);
                [[fallthrough]];
            case 5:
                high |= at(4, 0);
                [[fallthrough]];
            case 4:
                low |= at(3, 48);
                [[fallthrough]];
            case 3:
                low |= at(2, 32);
                [[fallthrough]];
            case 2:
                low |= at(1, 16);
                [[fallthrough]];
            default:
                low |= at(0, 0);
        }
        const std::uint64_t tag = s.size() | (std::uint64_t{kind} << 8);
        const std::uint64_t mixed =
            (low * 0x9E3779B97F4A7C15ull) ^ ((high + tag) * 0xC2B2AE3D27D4EB4Full);
        Entry& entry = entries_[mixed >> (64 - kIndexBits)];
        if (entry.low != low || entry.high != high || entry.tag != tag) {
            entry.low = low;
            entry.high = high;
            entry.tag = tag;
            entry.value = read(s);
        }
        return entry.value;
    }

  private:
    static constexpr int kIndexBits = 8;
    struct Entry {
        std::uint64_t low;   // the first four characters
        std::uint64_t high;  // the next four
        std::uint64_t tag;   // length and kind; 0 while nothing is kept
        Value value;
    };
    std::array<Entry, std::size_t{1} << kIndexBits> entries_{};
};

}  // namespace melvane::chords

// A song uses a small vocabulary of chords over and over, and every line is read twice: what a
// short token reads as is kept in a small table, so a token met again costs a look-up instead of
// a reading. The table only ever holds what the reader itself said.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace melvane::chords {

template <typename Value>
class TokenMemo {
  public:
    static constexpr std::size_t kLongest = 8;

    // What `read(token)` says of the token text.substr(start, size), 1 to kLongest characters:
    // remembered, or read now. `shape` stands for whatever else the reading depends on.
    template <typename Read>
    const Value& Get(std::u16string_view text, std::size_t start, std::size_t size,
                     std::uint32_t shape, Read&& read) {
        const Key key = KeyOf(text, start, size);
        const std::uint64_t low = static_cast<std::uint64_t>(key);
        const std::uint64_t high = static_cast<std::uint64_t>(key >> 64);
        const std::uint64_t tag = size | (std::uint64_t{shape} << 8);
        const std::uint64_t mixed =
            (low * 0x9E3779B97F4A7C15ull) ^ ((high + tag) * 0xC2B2AE3D27D4EB4Full);
        Entry& entry = entries_[mixed >> (64 - kIndexBits)];
        if (entry.key != key || entry.tag != tag) {
            entry.key = key;
            entry.tag = tag;
            entry.value = read(text.substr(start, size));
        }
        return entry.value;
    }

  private:
    // The token's characters, the first in the lowest bits.
    __extension__ typedef unsigned __int128 Key;

    // Eight characters are read at once, from the token's start or up to its end, whichever
    // stays inside the text; the ones that are not the token's are shifted or masked away. No
    // branch on the token's length: lengths vary from token to token and would be mispredicted.
    static Key KeyOf(std::u16string_view text, std::size_t start, std::size_t size) {
        constexpr int kBits = 16;
        Key key = 0;
        if (start + kLongest <= text.size()) {
            std::memcpy(&key, text.data() + start, sizeof key);
            const int unused = static_cast<int>(kLongest - size) * kBits;
            return key & (~Key{0} >> unused);
        }
        if (start + size >= kLongest) {
            std::memcpy(&key, text.data() + start + size - kLongest, sizeof key);
            return key >> (static_cast<int>(kLongest - size) * kBits);
        }
        for (std::size_t i = 0; i < size; ++i) {  // a text shorter than eight characters
            key |= Key{text[start + i]} << (kBits * i);
        }
        return key;
    }

    static constexpr int kIndexBits = 8;
    struct Entry {
        Key key;
        std::uint64_t tag;  // the size and shape; 0 while nothing is kept
        Value value;
    };
    std::array<Entry, std::size_t{1} << kIndexBits> entries_{};
};

}  // namespace melvane::chords

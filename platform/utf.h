// Conversions between UTF-8 bytes and UTF-16 text.
#pragma once

#include <charconv>
#include <concepts>
#include <filesystem>
#include <string>
#include <string_view>

namespace melvane {

// Lossless pair for text that passes through the program: a byte that is not part of valid
// UTF-8 becomes the lone surrogate U+DC80..U+DCFF and turns back into the same byte on the way
// out, so malformed input survives unchanged. Valid UTF-8 never produces lone surrogates.
std::u16string DecodeUtf8Lossless(std::string_view bytes);
std::string EncodeUtf8Lossless(std::u16string_view text);
// DecodeUtf8Lossless appended to `out`.
void AppendUtf8Lossless(std::u16string& out, std::string_view bytes);

// Plain conversions for names and messages: malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view text);

// File names that arrive as UTF-8 (the command line, tests). A path built from a narrow string
// reads it in the ANSI code page on Windows, so these go through UTF-16 there; on POSIX the bytes
// are kept as they are. Neither throws.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// A whole number in decimal digits, a minus sign in front when negative: "-12", "3".
template <std::integral Number>
std::u16string DecimalText(Number value) {
    char digits[24];  // the 20 digits of 2^64 and a sign
    char* const end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::u16string(digits, end);
}

}  // namespace melvane

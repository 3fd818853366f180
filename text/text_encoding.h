// The encodings a text sheet comes in, and its lines' characters decoded from and encoded back
// into them. Every byte sequence decodes to text that encodes back to the very same bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace melvane {

enum class TextEncoding {
    Utf8,  // malformed bytes survive as lone surrogates (see DecodeUtf8Lossless)
    Utf16LE,
    Utf16BE,
    Windows1252,  // the five bytes it leaves undefined read as the C1 controls of their value
};

struct TextFormat {
    TextEncoding encoding = TextEncoding::Utf8;
    std::size_t bomLength = 0;  // the byte order mark's bytes at the start, 0 when none

    // Bytes per code unit, and so per line-end character.
    std::size_t UnitSize() const {
        return encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE ? 2 : 1;
    }
};

// The byte order mark at the start of `bytes`, if any: UTF-8, UTF-16 LE or BE.
bool FindByteOrderMark(std::string_view bytes, TextFormat& format);

// A byte order mark decides; without one, UTF-8 when the bytes are UTF-8 (see
// EncodingWithoutMark), else Windows-1252.
TextFormat DetectTextFormat(std::string_view bytes);

// UTF-8 when every byte is valid UTF-8, and also when some are not but others are UTF-8's
// characters beyond ASCII: a UTF-8 text with a stray byte keeps its umlauts (which Windows-1252
// would read as two letters each, such as "Ã¤"). Windows-1252 otherwise.
TextEncoding EncodingWithoutMark(std::string_view bytes);

// Appends the characters of `bytes` (whole code units) in `encoding`.
void AppendDecoded(std::u16string& out, std::string_view bytes, TextEncoding encoding);
// Appends `text` in `encoding`. In Windows-1252, a character it cannot hold becomes '?'; text
// decoded from it never holds one.
void AppendEncoded(std::string& out, std::u16string_view text, TextEncoding encoding);

}  // namespace melvane

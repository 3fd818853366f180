#include "text/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace melvane {
namespace {

TEST(TextEncoding, ByteOrderMarkDecidesElseValidUtf8ElseWindows1252) {
    const struct {
        std::string bytes;
        TextEncoding encoding;
        std::size_t bomLength;
    } cases[] = {
        {"", TextEncoding::Utf8, 0},
        {"C G\n", TextEncoding::Utf8, 0},
        {"\xEF\xBB\xBF"
         "C",
         TextEncoding::Utf8, 3},
        {"\xEF\xBB\xBF"
         "B\xE4r",
         TextEncoding::Utf8, 3},  // a mark is believed
        {std::string("\xFF\xFE"
                     "C\0",
                     4),
         TextEncoding::Utf16LE, 2},
        {std::string("\xFE\xFF\0C", 4), TextEncoding::Utf16BE, 2},
        {"B\xC3\xA4r", TextEncoding::Utf8, 0},
        {"B\xE4r", TextEncoding::Windows1252, 0},
        {"\xC0\xAF", TextEncoding::Windows1252, 0},              // overlong
        {"\xED\xA0\x80", TextEncoding::Windows1252, 0},          // a surrogate
        {"\xF4\x90\x80\x80", TextEncoding::Windows1252, 0},      // beyond U+10FFFF
        {"12345678\xF0\x9F\x8E", TextEncoding::Windows1252, 0},  // cut short
        {"12345678\xF0\x9F\x8E\xB8", TextEncoding::Utf8, 0},
        {"B\xC3\xA4r \xFF", TextEncoding::Utf8, 0},  // UTF-8 with a stray byte
    };
    for (const auto& c : cases) {
        const TextFormat format = DetectTextFormat(c.bytes);
        EXPECT_EQ(format.encoding, c.encoding) << c.bytes;
        EXPECT_EQ(format.bomLength, c.bomLength) << c.bytes;
    }
}

TEST(TextEncoding, EveryByteSequenceComesBackAsItCame) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Windows1252,
                                        TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
        std::u16string text;
        AppendDecoded(text, all, encoding);
        std::string back;
        AppendEncoded(back, text, encoding);
        EXPECT_EQ(back, all) << static_cast<int>(encoding);
    }
}

TEST(TextEncoding, Windows1252ReadsAsItsCharacters) {
    std::u16string text;
    AppendDecoded(text, "\x80\x81\x8A\x9F\xC4\xDF", TextEncoding::Windows1252);
    EXPECT_EQ(text, u"€\u0081ŠŸÄß");
    std::string bytes;
    AppendEncoded(bytes, u"ä♯", TextEncoding::Windows1252);
    EXPECT_EQ(bytes, "\xE4?");
}

}  // namespace
}  // namespace melvane

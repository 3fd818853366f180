#include "platform/utf.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace melvane {
namespace {

TEST(Utf, DecodesAndEncodesEveryPlane) {
    const std::string bytes = "A\xC3\xA4\xE2\x82\xAC\xF0\x9D\x84\x9E";  // A ä € 𝄞
    const std::u16string text = u"A\u00E4\u20AC\U0001D11E";
    EXPECT_TRUE(Utf8ToUtf16(bytes) == text);
    EXPECT_EQ(Utf16ToUtf8(text), bytes);
    EXPECT_TRUE(DecodeUtf8Lossless(bytes) == text);
    EXPECT_EQ(EncodeUtf8Lossless(text), bytes);
}

TEST(Utf, LosslessPairKeepsMalformedBytes) {
    const std::string malformed[] = {
        "\xFF",         "a\x80z",           "\xC3",     "\xC0\xAF",  // lone, stray, cut, overlong
        "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "ok\xF0\x9F\x98", std::string("\0\xFE", 2)};
    for (const std::string& bytes : malformed) {
        EXPECT_EQ(EncodeUtf8Lossless(DecodeUtf8Lossless(bytes)), bytes);
    }
}

TEST(Utf, PlainConversionReplacesMalformedInput) {
    EXPECT_TRUE(Utf8ToUtf16("a\xFFz") == u"a\uFFFDz");
    EXPECT_EQ(Utf16ToUtf8(u"a\xD800z"), "a\xEF\xBF\xBDz");
    // Escaped bytes only mean something to the lossless pair.
    EXPECT_EQ(Utf16ToUtf8(DecodeUtf8Lossless("\xFF")), "\xEF\xBF\xBD");
}

TEST(Utf, PathsCarryNonAsciiNamesBothWays) {
    // Read in the ANSI code page instead, "ä" would become "Ã¤" and "𝄞" would be lost.
    const std::string utf8 = "Lieder/B\xC3\xA4r \xF0\x9D\x84\x9E.odt";
    const std::filesystem::path path = PathFromUtf8(utf8);
    EXPECT_TRUE(path.filename().u16string() == u"B\u00E4r \U0001D11E.odt");
    EXPECT_EQ(PathToUtf8(path.parent_path()), "Lieder");
    EXPECT_EQ(PathToUtf8(path), utf8);
    EXPECT_EQ(PathToUtf8(std::filesystem::path(u"\u00DCbung.odt")), "\xC3\x9C\x62ung.odt");
    EXPECT_TRUE(PathFromUtf8("").empty());
}

TEST(DecimalText, WritesWhatTheStandardLibraryWrites) {
    constexpr std::int64_t kSigned[] = {0,
                                        7,
                                        -12,
                                        1000,
                                        std::numeric_limits<std::int64_t>::min(),
                                        std::numeric_limits<std::int64_t>::max()};
    for (const std::int64_t value : kSigned) {
        EXPECT_EQ(Utf16ToUtf8(DecimalText(value)), std::to_string(value));
    }
    constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(Utf16ToUtf8(DecimalText(kLargest)), std::to_string(kLargest));
    EXPECT_TRUE(DecimalText(-3) == u"-3");
}

}  // namespace
}  // namespace melvane

#include "platform/console.h"

#include <gtest/gtest.h>

#include "platform/utf.h"

namespace melvane {
namespace {

// However a stream buffer happens to cut the bytes, the pieces decode to the whole text: every
// split point of a text with one-, two-, three- and four-byte sequences and a malformed byte.
TEST(Utf8PieceDecoder, EverySplitGivesTheWholeText) {
    const std::string bytes = "w\xC3\xBCrde \xE2\x82\xAC\xF0\x9D\x84\x9E \xFFz\xC3";
    const std::u16string whole = Utf8ToUtf16(bytes);
    for (std::size_t first = 0; first <= bytes.size(); ++first) {
        for (std::size_t second = first; second <= bytes.size(); ++second) {
            Utf8PieceDecoder decoder;
            std::u16string text = decoder.Decode(bytes.substr(0, first));
            text += decoder.Decode(bytes.substr(first, second - first));
            text += decoder.Decode(bytes.substr(second));
            text += decoder.Finish();
            EXPECT_TRUE(text == whole) << "split at " << first << " and " << second;
        }
    }
}

TEST(Utf8PieceDecoder, HoldsBackOnlyAnUnfinishedSequence) {
    Utf8PieceDecoder decoder;
    EXPECT_TRUE(decoder.Decode("Zieldatei \xC3") == u"Zieldatei ");
    EXPECT_TRUE(decoder.Decode("\xA4") == u"\u00E4");
    EXPECT_TRUE(decoder.Finish().empty());
}

}  // namespace
}  // namespace melvane

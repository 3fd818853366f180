// Paragraph texts read back through the command parser: whatever a paragraph holds must reach
// Word exactly as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "com/command_parser.h"
#include "platform/utf.h"
#include "word/word_commands.h"

namespace melvane {
namespace {

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string Utf16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

StatementPtr Parse(const std::u16string& command) {
    ParsedStatement* statement = nullptr;
    const HRESULT hr = ParseCommand(Wide(command), &statement);
    EXPECT_EQ(hr, S_OK) << Utf16ToUtf8(command);
    return StatementPtr(statement);
}

// The written arguments of a component, first to last.
const VARIANT& ArgumentOf(const StatementComponent& component, int position) {
    return InvokeArguments(component)[component.argumentCount - 1 - position];
}

std::u16string TextOf(const VARIANT& value) {
    EXPECT_EQ(value.vt, VT_BSTR);
    if (value.vt != VT_BSTR) {
        return {};
    }
    return Utf16({value.bstrVal, SysStringLen(value.bstrVal)});
}

const std::u16string kAwkwardTexts[] = {
    u"",
    u"C  G  Am\r",
    u"Don't  C  I'm  G  Ev'ry\r",
    u"'",
    u"''",
    u"'Am'",
    u"$",
    u"$$",
    u"$0041",
    u"$0027",
    u"$20AC$12",
    u"Price: $5, (or) 'more' = \\ / much\r",
    u"Grüße € 𝄞 \t\r",
    u"It's\rtwo paragraphs\r",
};

TEST(WordCommandParse, ParagraphTextsArriveUnchanged) {
    for (const std::u16string& text : kAwkwardTexts) {
        const StatementPtr statement = Parse(AssignTextCommand(text));
        ASSERT_TRUE(statement) << Utf16ToUtf8(text);
        EXPECT_TRUE(statement->assignment);
        ASSERT_EQ(statement->componentCount, 1);
        const StatementComponent& member = statement->components[0];
        EXPECT_EQ(Utf16({member.name, SysStringLen(member.name)}), u"Text");
        ASSERT_EQ(member.argumentCount, 1);
        EXPECT_EQ(TextOf(ArgumentOf(member, 0)), text) << Utf16ToUtf8(text);
    }
}

TEST(WordCommandParse, LongParagraphWithManyQuotes) {
    std::u16string text;
    for (int i = 0; i < 500; ++i) {
        text += u"Don't $top 'til ";
    }
    text += u"\r";
    const StatementPtr statement = Parse(AssignTextCommand(text));
    ASSERT_TRUE(statement);
    EXPECT_EQ(TextOf(ArgumentOf(statement->components[0], 0)), text);
}

}  // namespace
}  // namespace melvane

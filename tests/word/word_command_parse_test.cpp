// The Word path's commands read back through the command parser: every path and paragraph
// text must reach Word exactly as it was.
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

TEST(WordCommandParse, PathsArriveUnchanged) {
    const std::u16string paths[] = {
        u"C:\\Songs\\Song.docx",
        u"C:\\Rock 'n' Roll\\It's $5.doc",
        u"Z:\\tmp\\$0041 (live), take = 2\\Lied für Bär.docx",
    };
    for (const std::u16string& path : paths) {
        SCOPED_TRACE(Utf16ToUtf8(path));
        const StatementPtr open = Parse(OpenDocumentCommand(path));
        ASSERT_TRUE(open);
        ASSERT_EQ(open->componentCount, 2);
        ASSERT_EQ(open->components[1].argumentCount, 1);
        EXPECT_EQ(TextOf(ArgumentOf(open->components[1], 0)), path);

        const StatementPtr save = Parse(SaveAsCommand(path));
        ASSERT_TRUE(save);
        ASSERT_EQ(save->componentCount, 2);
        const StatementComponent& saveAs = save->components[1];
        ASSERT_EQ(saveAs.argumentCount, 2);
        EXPECT_EQ(TextOf(ArgumentOf(saveAs, 0)), path);
        const VARIANT& format = ArgumentOf(saveAs, 1);
        EXPECT_EQ(format.vt, VT_I4);
        EXPECT_EQ(format.lVal, 16);
    }
}

TEST(WordCommandParse, NumbersKeepTheirTypes) {
    for (const std::u16string& command : {CloseDocumentCommand(), QuitWordCommand()}) {
        const StatementPtr statement = Parse(command);
        ASSERT_TRUE(statement);
        ASSERT_EQ(statement->components[0].argumentCount, 1);
        const VARIANT& code = ArgumentOf(statement->components[0], 0);
        EXPECT_EQ(code.vt, VT_I4) << Utf16ToUtf8(command);
        EXPECT_EQ(code.lVal, 0);
    }
    const StatementPtr range = Parse(ParagraphRangeCommand(300));
    ASSERT_TRUE(range);
    ASSERT_EQ(range->componentCount, 2);
    EXPECT_EQ(TextOf(ArgumentOf(range->components[0], 0)), u"300");
    EXPECT_EQ(range->components[1].argumentCount, 0);
}

}  // namespace
}  // namespace melvane

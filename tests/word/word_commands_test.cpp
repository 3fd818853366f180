#include <gtest/gtest.h>

#include <string>

#include "platform/utf.h"
#include "word/word_commands.h"
#include "word/word_output_name.h"

namespace melvane {
namespace {

TEST(WordOutputName, NeuBeforeTheExtension) {
    const struct {
        std::u16string source;
        std::u16string output;
    } cases[] = {
        {u"C:\\Songs\\Song.docx", u"C:\\Songs\\Song_NEU.docx"},
        {u"D:\\a\\b.doc", u"D:\\a\\b_NEU.doc"},
        {u"Song.DOCX", u"Song_NEU.DOCX"},
        {u"C:\\Songs\\Live.2024.docx", u"C:\\Songs\\Live.2024_NEU.docx"},
        {u"/home/anna/Lieder/Bär.doc", u"/home/anna/Lieder/Bär_NEU.doc"},
        {u"Z:\\tmp/mixed\\Song.doc", u"Z:\\tmp/mixed\\Song_NEU.doc"},
        // A dot in a folder is not an extension.
        {u"C:\\v1.2\\Song", u"C:\\v1.2\\Song_NEU"},
        {u"C:\\v1.2/Song", u"C:\\v1.2/Song_NEU"},
        {u"C:\\Rock 'n' Roll\\It's $5.docx", u"C:\\Rock 'n' Roll\\It's $5_NEU.docx"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(WordOutputPath(row.source), row.output) << Utf16ToUtf8(row.source);
    }
}

TEST(WordCommandText, OnlyQuoteAndDollarAreEscaped) {
    const struct {
        std::u16string text;
        std::u16string escaped;
    } cases[] = {
        {u"", u""},
        {u"C  G  Am\r", u"C  G  Am\r"},
        {u"Don't", u"Don$0027t"},
        {u"''", u"$0027$0027"},
        {u"$", u"$0024"},
        {u"$0041", u"$00240041"},
        {u"Ev'ry $ day", u"Ev$0027ry $0024 day"},
        // The command grammar's other separators are harmless inside quotes.
        {u"(a), b\\c = d", u"(a), b\\c = d"},
        {u"Grüße € 𝄞\t\r", u"Grüße € 𝄞\t\r"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(EscapeCommandText(row.text), row.escaped) << Utf16ToUtf8(row.text);
    }
}

TEST(WordCommandText, CommandsWordIsSent) {
    EXPECT_EQ(OpenDocumentCommand(u"C:\\Songs\\Song.docx"),
              u"Documents\\Open('C:\\Songs\\Song.docx')");
    EXPECT_EQ(OpenDocumentCommand(u"C:\\Rock 'n' Roll\\$1.doc"),
              u"Documents\\Open('C:\\Rock $0027n$0027 Roll\\$00241.doc')");
    EXPECT_EQ(ParagraphRangeCommand(1), u"Paragraphs('1')\\Range");
    EXPECT_EQ(ParagraphRangeCommand(1234567), u"Paragraphs('1234567')\\Range");
    EXPECT_EQ(AssignTextCommand(u"D  A  Hm\r"), u"Text = 'D  A  Hm\r'");
    EXPECT_EQ(AssignTextCommand(u"I'm in D"), u"Text = 'I$0027m in D'");
    EXPECT_EQ(AssignTextCommand(u""), u"Text = ''");
    EXPECT_EQ(SaveAsCommand(u"C:\\Songs\\Song_NEU.docx"),
              u"ActiveDocument\\SaveAs('C:\\Songs\\Song_NEU.docx', 16 As Long)");
    EXPECT_EQ(SaveAsCommand(u"C:\\It's\\a.doc"),
              u"ActiveDocument\\SaveAs('C:\\It$0027s\\a.doc', 16 As Long)");
    EXPECT_EQ(CloseDocumentCommand(), u"Close(0 As Long)");
    EXPECT_EQ(QuitWordCommand(), u"Quit(0 As Long)");
}

}  // namespace
}  // namespace melvane

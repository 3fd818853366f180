#include "word/word_commands.h"

#include "platform/utf.h"

namespace melvane {
namespace {

std::u16string Quoted(std::u16string_view text) {
    std::u16string quoted(1, u'\'');
    quoted += EscapeCommandText(text);
    quoted += u'\'';
    return quoted;
}

}  // namespace

std::u16string EscapeCommandText(std::u16string_view text) {
    std::u16string escaped;
    escaped.reserve(text.size());
    for (const char16_t c : text) {
        if (c == u'\'') {
            escaped += u"$0027";
        } else if (c == u'$') {
            escaped += u"$0024";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::u16string OpenDocumentCommand(std::u16string_view path) {
    return u"Documents\\Open(" + Quoted(path) + u")";
}

std::u16string ParagraphRangeCommand(std::int64_t index) {
    return u"Paragraphs('" + DecimalText(index) + u"')\\Range";
}

std::u16string AssignTextCommand(std::u16string_view text) {
    return u"Text = " + Quoted(text);
}

std::u16string SaveAsCommand(std::u16string_view path) {
    return u"ActiveDocument\\SaveAs(" + Quoted(path) + u", " + DecimalText(kWordDocumentFormat) +
           u" As Long)";
}

std::u16string CloseDocumentCommand() {
    return u"Close(" + DecimalText(kDoNotSaveChanges) + u" As Long)";
}

std::u16string QuitWordCommand() {
    return u"Quit(" + DecimalText(kDoNotSaveChanges) + u" As Long)";
}

}  // namespace melvane

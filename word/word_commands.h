// The command strings the Word path sends, built as text so they can be checked anywhere.
//
// Paths and paragraph texts travel between single quotes. A quote in them would end the
// literal early, and a "$" followed by four hex digits would be decoded on the way in, so both
// are written as escapes ("$0027", "$0024"); every other character goes in as it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace melvane {

inline constexpr std::u16string_view kWordProgId = u"Word.application";
inline constexpr std::u16string_view kShowWordCommand = u"Visible = #True";
inline constexpr std::u16string_view kNoAlertsCommand = u"DisplayAlerts = #False";
inline constexpr std::u16string_view kParagraphCountCommand = u"Paragraphs\\Count";
inline constexpr std::u16string_view kReadTextCommand = u"Text";
// Word's default document format.
inline constexpr int kWordDocumentFormat = 16;
// Close and Quit without saving.
inline constexpr int kDoNotSaveChanges = 0;

// "'" becomes "$0027" and "$" becomes "$0024".
std::u16string EscapeCommandText(std::u16string_view text);

std::u16string OpenDocumentCommand(std::u16string_view path);
// index counts from 1, as Word's paragraphs do.
std::u16string ParagraphRangeCommand(std::int64_t index);
std::u16string AssignTextCommand(std::u16string_view text);
std::u16string SaveAsCommand(std::u16string_view path);
std::u16string CloseDocumentCommand();
std::u16string QuitWordCommand();

}  // namespace melvane

// A stand-in for Microsoft Word, for tests only: an in-process automation server that the word
// tests register in their Wine prefix under Word's ProgID. It offers just the members the Word
// path uses, over plain UTF-8 text files whose lines are the paragraphs:
//
//   Application: Visible, DisplayAlerts, Documents, ActiveDocument, Quit(SaveChanges)
//   Documents:   Open(FileName)                  -> Document
//   Document:    Paragraphs, Paragraphs(i), Close(SaveChanges), SaveAs(FileName, FileFormat)
//   Paragraphs:  Count
//   Paragraph:   Range
//   Range:       Text (read and write; ends with the paragraph mark "\r", as Word's does)
//
// Every call it receives is logged as one line, "Object.Member(arguments)" or
// "Object.Member = value", with strings as 'text', integers as number:type (16:I4) and
// booleans as #true/#false. Paragraphs, ranges and their members carry the paragraph number:
// "Range(2).Text = 'D\r'". Saving writes each paragraph without its mark as one line.
#pragma once

#include <windows.h>

namespace melvane::testing {

inline constexpr wchar_t kWordStandInFile[] = L"melvane_word_stand_in.dll";
inline constexpr wchar_t kWordProgIdForTests[] = L"Word.application";
inline constexpr wchar_t kWordStandInClsid[] = L"{39FC8062-85BB-4FF3-BB0D-DA366C4DBD84}";

// The exception descriptions it raises, each followed by the path in parentheses for files.
inline constexpr wchar_t kStandInNotFound[] = L"This file could not be found.";
inline constexpr wchar_t kStandInNotSaved[] = L"This file could not be saved.";
inline constexpr wchar_t kStandInNoDocument[] =
    L"This command is not available because no document is open.";
inline constexpr wchar_t kStandInNoSuchParagraph[] =
    L"The requested member of the collection does not exist.";
// A call failed on request (see WordStandInFailCalls).
inline constexpr wchar_t kStandInToldToFail[] = L"The stand-in was told to fail this call.";

// Exports:
// Objects of the stand-in still alive.
using WordStandInAliveFunction = long(WINAPI*)();
// Forgets the log and every failure request.
using WordStandInResetFunction = void(WINAPI*)();
// The number of logged calls, and one of them (valid until the next reset).
using WordStandInCallCountFunction = long(WINAPI*)();
using WordStandInCallFunction = const wchar_t*(WINAPI*)(long index);
// From now on every call whose log line starts with `prefix` is logged and then fails with a
// DISP_E_EXCEPTION described as kStandInToldToFail.
using WordStandInFailCallsFunction = void(WINAPI*)(const wchar_t* prefix);

}  // namespace melvane::testing

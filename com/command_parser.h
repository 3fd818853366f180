// Command strings: one line such as "Documents\Open('C:\x.doc')", "Paragraphs\Count" or
// "Text = 'new'" names a path of members, each applied to the object the previous one yields,
// with the arguments of each member turned into VARIANTs ready for IDispatch::Invoke.
//
// Grammar, in short: components are separated by "\"; a component is a member name, at most one
// parenthesised argument list, and in the last component an optional "=" followed by the value
// to assign. Arguments are quoted text ('...', with "$XXXX" escapes), numbers, or the keywords
// #true, #false, #empty/#optional/#opt, #nullstring and #void; each may carry "byref" and
// "as TYPE". Keywords are case-insensitive.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace melvane {

inline constexpr int kMaxCommandComponents = 20;
inline constexpr int kMaxComponentArguments = 20;
inline constexpr int kMaxComponentTokens = 200;

struct StatementComponent {
    BSTR name = nullptr;
    std::int64_t argumentCount = 0;
    // Block of kMaxComponentArguments VARIANTs filled from the end: the first argument sits in
    // the last slot, so the used tail is already in the reversed order Invoke expects.
    VARIANT* arguments = nullptr;
};

struct ParsedStatement {
    std::int64_t componentCount = 0;
    // The last component carries "=": its last argument is the value to assign.
    bool assignment = false;
    StatementComponent components[kMaxCommandComponents];
};

// The arguments of a component in Invoke's order (rgvarg); argumentCount entries.
inline VARIANT* InvokeArguments(const StatementComponent& component) {
    return component.arguments + (kMaxComponentArguments - component.argumentCount);
}

// S_OK and a statement the caller frees with FreeStatement; E_INVALIDARG for an empty command or
// a syntax error; E_OUTOFMEMORY when memory runs out or a member has more than 20 arguments; or
// the failing code of a requested type conversion. On failure nothing stays allocated and
// *statement is null.
HRESULT ParseCommand(std::wstring_view command, ParsedStatement** statement);

// Frees the member names, clears every argument (releasing objects and strings) and frees the
// statement. Null is allowed.
void FreeStatement(ParsedStatement* statement);

struct StatementDeleter {
    void operator()(ParsedStatement* statement) const noexcept { FreeStatement(statement); }
};
using StatementPtr = std::unique_ptr<ParsedStatement, StatementDeleter>;

// Replaces each "$" followed by four hexadecimal digits with the character whose code is the low
// 8 bits of that value, so that reserved characters can be written inside quoted text ("$0027"
// is a single quote). A "$" whose four digits are interrupted stays as it is; a "$" cut off by
// the end of the text ends the text there.
void DecodeEscapes(std::wstring& text);

// The reverse for text placed between quotes in a command: "'" and "$" become "$0027" and
// "$0024", so any text (a document path, a paragraph) reaches the server unchanged.
std::wstring EscapeQuotedText(std::wstring_view text);

}  // namespace melvane

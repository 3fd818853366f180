#include "com/command_parser.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "com/automation.h"
#include "com/com_resources.h"

namespace melvane {
namespace {

constexpr std::wstring_view kSeparators = L"(),\\'= ";

struct TokenizedComponent {
    int openCount = 0;
    int closeCount = 0;
    std::vector<std::wstring> tokens;
};

bool IsSeparator(wchar_t c) {
    return kSeparators.find(c) != std::wstring_view::npos;
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i];
        wchar_t y = b[i];
        if (x >= L'A' && x <= L'Z') {
            x = static_cast<wchar_t>(x - L'A' + L'a');
        }
        if (y >= L'A' && y <= L'Z') {
            y = static_cast<wchar_t>(y - L'A' + L'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

bool ComponentIsClosed(const TokenizedComponent& component) {
    return component.openCount == component.closeCount && component.openCount < 2 &&
           !component.tokens.empty();
}

// First pass: splits the command into components of tokens and checks the bracket and "="
// counts. Quoted text stays one token, quotes included.
HRESULT Tokenize(std::wstring_view command, std::vector<TokenizedComponent>& components) {
    components.emplace_back();
    int equalsCount = 0;
    std::wstring pending;
    bool full = false;
    // Returns whether the component just reached its token limit; nothing after that is read.
    auto store = [&](std::wstring token) {
        components.back().tokens.push_back(std::move(token));
        return components.back().tokens.size() >= static_cast<size_t>(kMaxComponentTokens);
    };

    size_t i = 0;
    while (i < command.size() && !full) {
        const wchar_t c = command[i];
        if (!IsSeparator(c)) {
            pending += c;
            ++i;
            continue;
        }
        if (!pending.empty()) {
            full = store(std::move(pending));
            pending.clear();
            continue;  // the same separator is looked at again with an empty buffer
        }
        TokenizedComponent& current = components.back();
        switch (c) {
            case L'\'': {
                const size_t close = command.find(L'\'', i + 1);
                if (close == std::wstring_view::npos) {
                    return E_INVALIDARG;
                }
                full = store(std::wstring(command.substr(i, close - i + 1)));
                i = close + 1;
                continue;
            }
            case L' ':
                break;
            case L'(':
                ++current.openCount;
                full = store(L"(");
                break;
            case L')':
                if (current.openCount == 0) {
                    return E_INVALIDARG;
                }
                ++current.closeCount;
                full = store(L")");
                break;
            case L'=':
                if (++equalsCount > 1) {
                    return E_INVALIDARG;
                }
                full = store(L"=");
                break;
            case L',':
                full = store(L",");
                break;
            case L'\\':
                if (components.size() >= static_cast<size_t>(kMaxCommandComponents) ||
                    !ComponentIsClosed(current) || equalsCount > 0) {
                    return E_INVALIDARG;
                }
                components.emplace_back();
                break;
        }
        ++i;
    }
    if (!full && !pending.empty()) {
        store(std::move(pending));
    }
    return ComponentIsClosed(components.back()) ? S_OK : E_INVALIDARG;
}

bool IsQuoted(std::wstring_view token) {
    return token.size() >= 2 && token.front() == L'\'' && token.back() == L'\'';
}

bool IsPunctuation(std::wstring_view token) {
    return token == L"(" || token == L")" || token == L"," || token == L"=";
}

// Decimal integer or real: a sign only in front, digits, at most one ".". Out-of-range values
// are refused rather than wrapped.
bool ParseNumber(std::wstring_view token, VARIANT& value) {
    size_t start = (token[0] == L'+' || token[0] == L'-') ? 1 : 0;
    int digits = 0;
    int dots = 0;
    for (size_t i = start; i < token.size(); ++i) {
        if (token[i] >= L'0' && token[i] <= L'9') {
            ++digits;
        } else if (token[i] == L'.' && dots == 0) {
            ++dots;
        } else {
            return false;
        }
    }
    if (digits == 0) {
        return false;
    }
    const bool negative = token[0] == L'-';
    if (dots > 0) {
        std::string narrow;
        if (negative) {
            narrow += '-';
        }
        for (size_t i = start; i < token.size(); ++i) {
            narrow += static_cast<char>(token[i]);
        }
        double real = 0;
        const auto [end, error] =
            std::from_chars(narrow.data(), narrow.data() + narrow.size(), real);
        if (error != std::errc() || end != narrow.data() + narrow.size()) {
            return false;
        }
        value.vt = VT_R8;
        value.dblVal = real;
        return true;
    }

    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 63 : std::uint64_t{std::numeric_limits<std::int64_t>::max()};
    std::uint64_t magnitude = 0;
    for (size_t i = start; i < token.size(); ++i) {
        const std::uint64_t digit = token[i] - L'0';
        if (magnitude > (limit - digit) / 10) {
            return false;
        }
        magnitude = magnitude * 10 + digit;
    }
    const std::int64_t number =
        negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    if (number == 0) {
        value.vt = VT_I4;
        value.lVal = 0;
    } else if (number >= INT8_MIN && number <= INT8_MAX) {
        value.vt = VT_I1;
        value.cVal = static_cast<CHAR>(number);
    } else if (number >= INT16_MIN && number <= INT16_MAX) {
        value.vt = VT_I2;
        value.iVal = static_cast<SHORT>(number);
    } else if (number >= INT32_MIN && number <= INT32_MAX) {
        value.vt = VT_I4;
        value.lVal = static_cast<LONG>(number);
    } else {
        value.vt = VT_I8;
        value.llVal = number;
    }
    return true;
}

// The literal's VARIANT; E_INVALIDARG for a token that is no literal.
HRESULT ParseLiteral(std::wstring_view token, VARIANT& value) {
    std::wstring text;
    bool isText = false;
    if (IsQuoted(token)) {
        text = token.substr(1, token.size() - 2);
        DecodeEscapes(text);
        isText = true;
    } else if (EqualsIgnoringCase(token, L"#nullstring")) {
        isText = true;
    } else if (EqualsIgnoringCase(token, L"#true") || EqualsIgnoringCase(token, L"#false")) {
        value.vt = VT_BOOL;
        value.boolVal = EqualsIgnoringCase(token, L"#true") ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (EqualsIgnoringCase(token, L"#empty") || EqualsIgnoringCase(token, L"#optional") ||
               EqualsIgnoringCase(token, L"#opt")) {
        value.vt = VT_ERROR;
        value.scode = DISP_E_PARAMNOTFOUND;
    } else if (EqualsIgnoringCase(token, L"#void")) {
        value.vt = VT_I8;
        value.llVal = 0;
    } else if (!ParseNumber(token, value)) {
        return E_INVALIDARG;
    }
    if (isText) {
        value.bstrVal = AllocBstr(text);
        if (value.bstrVal == nullptr) {
            return E_OUTOFMEMORY;
        }
        value.vt = VT_BSTR;
    }
    return S_OK;
}

struct TypeKeyword {
    std::wstring_view keyword;
    VARTYPE type;
};

constexpr TypeKeyword kTypeKeywords[] = {
    {L"boolean", VT_BOOL},
    {L"string", VT_BSTR},
    {L"bstr", VT_BSTR},
    {L"byte", VT_I1},
    {L"ubyte", VT_UI1},
    {L"word", VT_I2},
    {L"uword", VT_UI2},
    {L"long", VT_I4},
    {L"dword", VT_I4},
    {L"ulong", VT_UI4},
    {L"udword", VT_UI4},
    {L"quad", VT_I8},
    {L"qword", VT_I8},
    {L"uquad", VT_UI8},
    {L"uqword", VT_UI8},
    {L"integer", VT_INT},
    {L"int", VT_INT},
    {L"uinteger", VT_UINT},
    {L"uint", VT_UINT},
    {L"date", VT_DATE},
    {L"object", VT_DISPATCH},
    {L"idispatch", VT_DISPATCH},
    {L"automationobject", VT_DISPATCH},
    {L"iunknown", VT_UNKNOWN},
    {L"float", VT_R4},
    {L"single", VT_R4},
    {L"double", VT_R8},
    {L"variant", VT_VARIANT},
};

struct Modifiers {
    bool byReference = false;
    bool typed = false;
    VARTYPE type = VT_EMPTY;
    bool automationObject = false;
};

// Reads "byref", "as TYPE" and "byref" after the value at tokens[index]; index ends on the last
// token consumed.
HRESULT ParseModifiers(const std::vector<std::wstring>& tokens, size_t& index, Modifiers& out) {
    auto next = [&](std::wstring_view keyword) {
        return index + 1 < tokens.size() && EqualsIgnoringCase(tokens[index + 1], keyword);
    };
    if (next(L"byref")) {
        out.byReference = true;
        ++index;
    }
    if (next(L"as")) {
        if (index + 2 >= tokens.size()) {
            return E_INVALIDARG;
        }
        const std::wstring& keyword = tokens[index + 2];
        bool known = false;
        for (const TypeKeyword& entry : kTypeKeywords) {
            if (EqualsIgnoringCase(keyword, entry.keyword)) {
                out.typed = true;
                out.type = entry.type;
                out.automationObject = EqualsIgnoringCase(keyword, L"automationobject");
                known = true;
                break;
            }
        }
        if (!known) {
            return E_INVALIDARG;
        }
        index += 2;
    }
    if (next(L"byref")) {
        out.byReference = true;
        ++index;
    }
    return S_OK;
}

bool IsIntegerType(VARTYPE type) {
    return type == VT_I1 || type == VT_I2 || type == VT_I4 || type == VT_I8;
}

std::int64_t IntegerValue(const VARIANT& value) {
    switch (value.vt) {
        case VT_I1:
            return value.cVal;
        case VT_I2:
            return value.iVal;
        case VT_I4:
            return value.lVal;
        default:
            return value.llVal;
    }
}

template <typename T>
T* AddressOf(std::int64_t number) {
    return reinterpret_cast<T*>(static_cast<std::uintptr_t>(number));
}

// Turns one literal with its modifiers into the argument. On failure the argument is left empty.
HRESULT ApplyModifiers(const Modifiers& modifiers, ScopedVariant& value) {
    const VARTYPE literalType = value->vt;
    const bool integer = IsIntegerType(literalType);
    if (modifiers.byReference) {
        // The number is the address of the caller's variable. Null would only move the crash
        // into the server, and a handle's address is not that of an interface pointer.
        if (!integer || IntegerValue(*value.Get()) == 0 || modifiers.automationObject) {
            return E_INVALIDARG;
        }
        void* address = AddressOf<void>(IntegerValue(*value.Get()));
        const VARTYPE type = modifiers.typed ? modifiers.type : literalType;
        VariantClear(value.Get());
        value->vt = static_cast<VARTYPE>(type | VT_BYREF);
        value->byref = address;
        return S_OK;
    }
    if (!modifiers.typed) {
        return S_OK;
    }
    switch (modifiers.type) {
        case VT_DISPATCH: {
            if (!integer) {
                return E_INVALIDARG;
            }
            const std::int64_t address = IntegerValue(*value.Get());
            IDispatch* object = nullptr;
            if (address != 0) {
                object = modifiers.automationObject
                             ? AddressOf<AutomationHandle>(address)->Dispatch()
                             : AddressOf<IDispatch>(address);
            }
            if (object != nullptr) {
                object->AddRef();
            }
            value->vt = VT_DISPATCH;
            value->pdispVal = object;
            return S_OK;
        }
        case VT_UNKNOWN: {
            if (!integer) {
                return E_INVALIDARG;
            }
            IUnknown* object = AddressOf<IUnknown>(IntegerValue(*value.Get()));
            if (object != nullptr) {
                object->AddRef();
            }
            value->vt = VT_UNKNOWN;
            value->punkVal = object;
            return S_OK;
        }
        case VT_VARIANT: {
            if (!integer) {
                return E_INVALIDARG;
            }
            VARIANT* source = AddressOf<VARIANT>(IntegerValue(*value.Get()));
            VariantClear(value.Get());
            if (source == nullptr) {
                return S_OK;
            }
            return VariantCopy(value.Get(), source);
        }
        default:
            if (modifiers.type == literalType) {
                return S_OK;
            }
            return VariantChangeType(value.Get(), value.Get(), VARIANT_LOCALBOOL, modifiers.type);
    }
}

enum class ParseState { ExpectArgument, AfterArgument, AfterClose, AfterName };

// Second pass over one component's tokens.
HRESULT ParseComponent(const std::vector<std::wstring>& tokens, StatementComponent& component,
                       bool& assignment) {
    if (IsPunctuation(tokens[0]) || IsQuoted(tokens[0])) {
        return E_INVALIDARG;
    }
    component.name = AllocBstr(tokens[0]);
    if (component.name == nullptr) {
        return E_OUTOFMEMORY;
    }
    ParseState state = ParseState::AfterName;
    bool insideParentheses = false;
    for (size_t index = 1; index < tokens.size(); ++index) {
        const std::wstring& token = tokens[index];
        if (token == L"(") {
            if (index != 1) {
                return E_INVALIDARG;
            }
            insideParentheses = true;
            state = ParseState::ExpectArgument;
        } else if (token == L")") {
            if (!insideParentheses ||
                (state != ParseState::ExpectArgument && state != ParseState::AfterArgument)) {
                return E_INVALIDARG;
            }
            insideParentheses = false;
            state = ParseState::AfterClose;
        } else if (token == L"=") {
            if (state != ParseState::AfterClose && state != ParseState::AfterName) {
                return E_INVALIDARG;
            }
            assignment = true;
            state = ParseState::ExpectArgument;
        } else if (token == L",") {
            if (!insideParentheses || state != ParseState::AfterArgument) {
                return E_INVALIDARG;
            }
            state = ParseState::ExpectArgument;
        } else {
            if (state != ParseState::ExpectArgument) {
                return E_INVALIDARG;
            }
            if (component.argumentCount == kMaxComponentArguments) {
                return E_OUTOFMEMORY;
            }
            ScopedVariant value;
            HRESULT result = ParseLiteral(token, *value.Get());
            Modifiers modifiers;
            if (SUCCEEDED(result)) {
                result = ParseModifiers(tokens, index, modifiers);
            }
            if (SUCCEEDED(result)) {
                result = ApplyModifiers(modifiers, value);
            }
            if (FAILED(result)) {
                return result;
            }
            ++component.argumentCount;
            *InvokeArguments(component) = value.Detach();
            state = ParseState::AfterArgument;
        }
    }
    // An "=" with nothing after it assigns nothing.
    return state == ParseState::ExpectArgument ? E_INVALIDARG : S_OK;
}

HRESULT Parse(std::wstring_view command, StatementPtr& statement) {
    if (command.empty()) {
        return E_INVALIDARG;
    }
    std::vector<TokenizedComponent> components;
    HRESULT result = Tokenize(command, components);
    if (FAILED(result)) {
        return result;
    }

    void* memory = CoTaskMemAlloc(sizeof(ParsedStatement));
    if (memory == nullptr) {
        return E_OUTOFMEMORY;
    }
    statement.reset(new (memory) ParsedStatement);
    for (const TokenizedComponent& tokenized : components) {
        StatementComponent& component = statement->components[statement->componentCount];
        ++statement->componentCount;
        component.arguments = static_cast<VARIANT*>(
            CoTaskMemAlloc(sizeof(VARIANT) * static_cast<size_t>(kMaxComponentArguments)));
        if (component.arguments == nullptr) {
            return E_OUTOFMEMORY;
        }
        for (int slot = 0; slot < kMaxComponentArguments; ++slot) {
            VariantInit(&component.arguments[slot]);
        }
        result = ParseComponent(tokenized.tokens, component, statement->assignment);
        if (FAILED(result)) {
            return result;
        }
    }
    return S_OK;
}

}  // namespace

HRESULT ParseCommand(std::wstring_view command, ParsedStatement** statement) {
    if (statement == nullptr) {
        return E_POINTER;
    }
    *statement = nullptr;
    StatementPtr parsed;
    HRESULT result;
    try {
        result = Parse(command, parsed);
    } catch (const std::bad_alloc&) {
        result = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(result)) {
        *statement = parsed.release();
    }
    return result;
}

void FreeStatement(ParsedStatement* statement) {
    if (statement == nullptr) {
        return;
    }
    for (std::int64_t i = 0; i < statement->componentCount; ++i) {
        StatementComponent& component = statement->components[i];
        SysFreeString(component.name);
        if (component.arguments != nullptr) {
            for (int slot = 0; slot < kMaxComponentArguments; ++slot) {
                VariantClear(&component.arguments[slot]);
            }
            CoTaskMemFree(component.arguments);
        }
    }
    statement->~ParsedStatement();
    CoTaskMemFree(statement);
}

void DecodeEscapes(std::wstring& text) {
    auto hexValue = [](wchar_t c) -> int {
        if (c >= L'0' && c <= L'9') {
            return c - L'0';
        }
        if (c >= L'a' && c <= L'f') {
            return c - L'a' + 10;
        }
        if (c >= L'A' && c <= L'F') {
            return c - L'A' + 10;
        }
        return -1;
    };
    std::wstring decoded;
    decoded.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != L'$') {
            decoded += text[i++];
            continue;
        }
        int code = 0;
        size_t digits = 0;
        while (digits < 4 && i + 1 + digits < text.size()) {
            const int digit = hexValue(text[i + 1 + digits]);
            if (digit < 0) {
                break;
            }
            code = code * 16 + digit;
            ++digits;
        }
        if (digits == 4) {
            decoded += static_cast<wchar_t>(code & 0xFF);
            i += 5;
        } else if (i + 1 + digits == text.size()) {
            break;  // cut off by the end: the "$" and its partial digits are dropped
        } else {
            decoded += text[i++];
        }
    }
    text = std::move(decoded);
}

std::wstring EscapeQuotedText(std::wstring_view text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (const wchar_t c : text) {
        if (c == L'\'') {
            escaped += L"$0027";
        } else if (c == L'$') {
            escaped += L"$0024";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace melvane

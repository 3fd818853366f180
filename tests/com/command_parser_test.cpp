#include "com/command_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "com/automation.h"
#include "com/last_error.h"
#include "tests/com/com_test_support.h"
#include "tests/com/dispatch_object.h"

namespace melvane {
namespace {

using testing::CheckedAllocator;
using testing::DispatchObject;

// Every test here also proves that what it parsed is freed again and nothing else stays.
class CommandParser : public ::testing::Test {
  protected:
    void SetUp() override { liveAtStart_ = CheckedAllocator::Live(); }
    void TearDown() override {
        CheckedAllocator::FailAllocation(-1);
        statement_.reset();
        EXPECT_EQ(CheckedAllocator::Live(), liveAtStart_) << "task memory leaked";
    }

    // Parses and keeps the statement for the test; a failure must leave no statement.
    HRESULT Parse(std::wstring_view command) {
        ParsedStatement* raw = reinterpret_cast<ParsedStatement*>(1);
        const HRESULT hr = ParseCommand(command, &raw);
        if (FAILED(hr)) {
            EXPECT_EQ(raw, nullptr) << "statement left after failure";
        }
        statement_.reset(SUCCEEDED(hr) ? raw : nullptr);
        return hr;
    }

    // The n-th argument (0 = first written) of a component, as stored.
    const VARIANT& Argument(int component, int n) const {
        return statement_->components[component].arguments[kMaxComponentArguments - 1 - n];
    }

    // The only argument of "M(...)".
    const VARIANT& SingleArgument(std::wstring_view argument) {
        const std::wstring command = L"M(" + std::wstring(argument) + L")";
        const HRESULT hr = Parse(command);
        EXPECT_EQ(hr, S_OK) << testing::Narrow(command);
        if (FAILED(hr)) {
            static VARIANT empty{};
            return empty;
        }
        EXPECT_EQ(statement_->components[0].argumentCount, 1);
        return Argument(0, 0);
    }

    StatementPtr statement_;

  private:
    long liveAtStart_ = 0;
};

std::wstring Text(const VARIANT& value) {
    EXPECT_EQ(value.vt, VT_BSTR);
    if (value.vt != VT_BSTR || value.bstrVal == nullptr) {
        return {};
    }
    return std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
}

std::int64_t Integer(const VARIANT& value) {
    switch (value.vt) {
        case VT_I1:
            return value.cVal;
        case VT_UI1:
            return value.bVal;
        case VT_I2:
            return value.iVal;
        case VT_UI2:
            return value.uiVal;
        case VT_I4:
            return value.lVal;
        case VT_UI4:
            return value.ulVal;
        case VT_INT:
            return value.intVal;
        case VT_UINT:
            return value.uintVal;
        case VT_I8:
            return value.llVal;
        case VT_UI8:
            return static_cast<std::int64_t>(value.ullVal);
        case VT_BOOL:
            return value.boolVal;
        case VT_ERROR:
            return value.scode;
        default:
            ADD_FAILURE() << "no integer type: " << value.vt;
            return 0;
    }
}

std::wstring Address(const void* pointer) {
    return std::to_wstring(reinterpret_cast<std::uintptr_t>(pointer));
}

TEST_F(CommandParser, SplitsComponentsAtBackslashes) {
    ASSERT_EQ(Parse(L"Paragraphs\\Count"), S_OK);
    ASSERT_EQ(statement_->componentCount, 2);
    EXPECT_STREQ(statement_->components[0].name, L"Paragraphs");
    EXPECT_STREQ(statement_->components[1].name, L"Count");
    EXPECT_EQ(statement_->components[0].argumentCount, 0);
    EXPECT_EQ(statement_->components[1].argumentCount, 0);
    EXPECT_FALSE(statement_->assignment);

    ASSERT_EQ(Parse(L"  Documents \\ Open ( 'C:\\x.doc' )  "), S_OK);
    ASSERT_EQ(statement_->componentCount, 2);
    EXPECT_STREQ(statement_->components[1].name, L"Open");
    EXPECT_EQ(Text(Argument(1, 0)), L"C:\\x.doc");

    ASSERT_EQ(Parse(L"Quit()"), S_OK);
    EXPECT_EQ(statement_->components[0].argumentCount, 0);
}

TEST_F(CommandParser, KeepsArgumentsInReversedOrder) {
    ASSERT_EQ(Parse(L"Quit(0 As Long)"), S_OK);
    ASSERT_EQ(statement_->components[0].argumentCount, 1);
    EXPECT_EQ(Argument(0, 0).vt, VT_I4);
    EXPECT_EQ(Argument(0, 0).lVal, 0);

    ASSERT_EQ(Parse(L"ActiveDocument\\SaveAs('a', 16 As Long)"), S_OK);
    const StatementComponent& saveAs = statement_->components[1];
    ASSERT_EQ(saveAs.argumentCount, 2);
    // The first argument in the last slot: Invoke's rgvarg starts with the last argument.
    EXPECT_EQ(Text(saveAs.arguments[kMaxComponentArguments - 1]), L"a");
    EXPECT_EQ(saveAs.arguments[kMaxComponentArguments - 2].vt, VT_I4);
    const VARIANT* rgvarg = InvokeArguments(saveAs);
    EXPECT_EQ(rgvarg[0].vt, VT_I4);
    EXPECT_EQ(rgvarg[0].lVal, 16);
    EXPECT_EQ(Text(rgvarg[1]), L"a");

    ASSERT_EQ(Parse(L"M(1, 'two', #true, 4.5)"), S_OK);
    rgvarg = InvokeArguments(statement_->components[0]);
    EXPECT_EQ(rgvarg[0].vt, VT_R8);
    EXPECT_EQ(rgvarg[1].vt, VT_BOOL);
    EXPECT_EQ(Text(rgvarg[2]), L"two");
    EXPECT_EQ(rgvarg[3].vt, VT_I1);
}

TEST_F(CommandParser, AssignmentValueComesLast) {
    ASSERT_EQ(Parse(L"Text = 'new'"), S_OK);
    EXPECT_TRUE(statement_->assignment);
    ASSERT_EQ(statement_->components[0].argumentCount, 1);
    EXPECT_EQ(Text(Argument(0, 0)), L"new");

    ASSERT_EQ(Parse(L"Application\\Item(3) = #false"), S_OK);
    EXPECT_TRUE(statement_->assignment);
    const VARIANT* rgvarg = InvokeArguments(statement_->components[1]);
    ASSERT_EQ(statement_->components[1].argumentCount, 2);
    EXPECT_EQ(rgvarg[0].vt, VT_BOOL);  // the assigned value, where DISPID_PROPERTYPUT points
    EXPECT_EQ(Integer(rgvarg[1]), 3);
}

TEST_F(CommandParser, SyntaxErrors) {
    const wchar_t* const commands[] = {
        L"",
        L"   ",
        L"Text = 'It's'",     // the quote inside closes the text
        L"Open('C:\\x.doc)",  // missing closing quote
        L"A(1)(2)",
        L"A((1))",
        L"X = 1 = 2",
        L"A\\ = 1",
        L"A(1",
        L"A)",
        L"A(1))",
        L"A = 1\\B",  // "\" after "="
        L"A\\B = 1\\C",
        L"\\A",
        L"A\\",
        L"A\\\\B",
        L"A =",
        L"A() =",
        L"A 1",
        L"A(1 2)",
        L"A(,1)",
        L"A(1) 2",
        L"A,1",
        L"A = 1, 2",
        L"A = 1 2",
        L"B = (1)",
        L"= 1",
        L"(1)",
        L"'name'",
        L"A(x)",
        L"A(#maybe)",
        L"A(1 as)",
        L"A(1 as nothing)",
        L"A(1 as long as long)",
        L"A('x' byref)",
        L"A(1.5 byref)",
        L"A(0 byref)",  // no variable at address 0
        L"A(1 byref as automationobject)",
        L"A('x' as object)",
        L"A(#true as iunknown)",
        L"A('x' as variant)",
        L"A(\t1)",  // a tab is no separator
        L"A(x'y')",
    };
    for (const wchar_t* command : commands) {
        EXPECT_EQ(Parse(command), E_INVALIDARG) << testing::Narrow(command);
    }
}

struct LiteralCase {
    const wchar_t* token;
    VARTYPE type;
    std::int64_t integer;  // numbers, booleans, error codes
    const wchar_t* text;   // strings
    double real;
};

TEST_F(CommandParser, LiteralsAndTheirVariants) {
    const LiteralCase cases[] = {
        {L"'abc'", VT_BSTR, 0, L"abc", 0},
        {L"'a(b),c\\d=e f'", VT_BSTR, 0, L"a(b),c\\d=e f", 0},
        {L"''", VT_BSTR, 0, L"", 0},
        {L"#nullstring", VT_BSTR, 0, L"", 0},
        {L"#NullString", VT_BSTR, 0, L"", 0},
        {L"#true", VT_BOOL, -1, nullptr, 0},
        {L"#TRUE", VT_BOOL, -1, nullptr, 0},
        {L"#false", VT_BOOL, 0, nullptr, 0},
        {L"#empty", VT_ERROR, static_cast<HRESULT>(0x80020004u), nullptr, 0},
        {L"#optional", VT_ERROR, static_cast<HRESULT>(0x80020004u), nullptr, 0},
        {L"#Opt", VT_ERROR, static_cast<HRESULT>(0x80020004u), nullptr, 0},
        {L"#void", VT_I8, 0, nullptr, 0},
        {L"0", VT_I4, 0, nullptr, 0},
        {L"-0", VT_I4, 0, nullptr, 0},
        {L"5", VT_I1, 5, nullptr, 0},
        {L"+7", VT_I1, 7, nullptr, 0},
        {L"-5", VT_I1, -5, nullptr, 0},
        {L"127", VT_I1, 127, nullptr, 0},
        {L"-128", VT_I1, -128, nullptr, 0},
        {L"128", VT_I2, 128, nullptr, 0},
        {L"-129", VT_I2, -129, nullptr, 0},
        {L"300", VT_I2, 300, nullptr, 0},
        {L"32767", VT_I2, 32767, nullptr, 0},
        {L"32768", VT_I4, 32768, nullptr, 0},
        {L"70000", VT_I4, 70000, nullptr, 0},
        {L"-2147483648", VT_I4, INT32_MIN, nullptr, 0},
        {L"2147483648", VT_I8, 2147483648LL, nullptr, 0},
        {L"9223372036854775807", VT_I8, INT64_MAX, nullptr, 0},
        {L"-9223372036854775808", VT_I8, INT64_MIN, nullptr, 0},
        {L"1.5", VT_R8, 0, nullptr, 1.5},
        {L"-0.25", VT_R8, 0, nullptr, -0.25},
        {L"5.", VT_R8, 0, nullptr, 5.0},
        {L".5", VT_R8, 0, nullptr, 0.5},
        {L"16", VT_I1, 16, nullptr, 0},
    };
    for (const LiteralCase& row : cases) {
        SCOPED_TRACE(testing::Narrow(row.token));
        const VARIANT& value = SingleArgument(row.token);
        ASSERT_EQ(value.vt, row.type);
        if (row.type == VT_BSTR) {
            EXPECT_EQ(Text(value), row.text);
        } else if (row.type == VT_R8) {
            EXPECT_EQ(value.dblVal, row.real);
        } else {
            EXPECT_EQ(Integer(value), row.integer);
        }
    }
}

TEST_F(CommandParser, InvalidNumbers) {
    const wchar_t* const tokens[] = {L"1.2.3",
                                     L"1e5",
                                     L"+",
                                     L"-",
                                     L".",
                                     L"1-2",
                                     L"--1",
                                     L"1+",
                                     L"0x10",
                                     L"1,5a",
                                     L"12a",
                                     L"9223372036854775808",
                                     L"-9223372036854775809"};
    for (const wchar_t* token : tokens) {
        EXPECT_EQ(Parse(L"M(" + std::wstring(token) + L")"), E_INVALIDARG)
            << testing::Narrow(token);
    }
}

struct TypeCase {
    const wchar_t* argument;
    VARTYPE type;
    std::int64_t integer;
};

TEST_F(CommandParser, TypeKeywordsConvertTheValue) {
    const TypeCase cases[] = {
        {L"16 As Long", VT_I4, 16},     {L"16 as LONG", VT_I4, 16},
        {L"1 as dword", VT_I4, 1},      {L"1 as boolean", VT_BOOL, -1},
        {L"0 as boolean", VT_BOOL, 0},  {L"1 as byte", VT_I1, 1},
        {L"200 as ubyte", VT_UI1, 200}, {L"1 as word", VT_I2, 1},
        {L"1 as uword", VT_UI2, 1},     {L"1 as ulong", VT_UI4, 1},
        {L"1 as udword", VT_UI4, 1},    {L"1 as quad", VT_I8, 1},
        {L"1 as qword", VT_I8, 1},      {L"1 as uquad", VT_UI8, 1},
        {L"1 as uqword", VT_UI8, 1},    {L"1 as integer", VT_INT, 1},
        {L"1 as int", VT_INT, 1},       {L"1 as uinteger", VT_UINT, 1},
        {L"1 as uint", VT_UINT, 1},     {L"'42' as long", VT_I4, 42},
        {L"#true as long", VT_I4, -1},  {L"#void as quad", VT_I8, 0},
    };
    for (const TypeCase& row : cases) {
        SCOPED_TRACE(testing::Narrow(row.argument));
        const VARIANT& value = SingleArgument(row.argument);
        ASSERT_EQ(value.vt, row.type);
        EXPECT_EQ(Integer(value), row.integer);
    }

    EXPECT_EQ(Text(SingleArgument(L"12 as string")), L"12");
    EXPECT_EQ(Text(SingleArgument(L"-3 as BSTR")), L"-3");
    EXPECT_EQ(Text(SingleArgument(L"'x' as string")), L"x");
    const VARIANT& date = SingleArgument(L"2 as date");
    EXPECT_EQ(date.vt, VT_DATE);
    EXPECT_EQ(date.date, 2.0);
    const VARIANT& single = SingleArgument(L"3 as single");
    EXPECT_EQ(single.vt, VT_R4);
    EXPECT_EQ(single.fltVal, 3.0f);
    EXPECT_EQ(SingleArgument(L"1 as float").vt, VT_R4);
    const VARIANT& real = SingleArgument(L"7 as double");
    EXPECT_EQ(real.vt, VT_R8);
    EXPECT_EQ(real.dblVal, 7.0);
}

TEST_F(CommandParser, FailedConversionEndsTheParseWithItsCode) {
    EXPECT_EQ(Parse(L"M('a', 300 as ubyte)"), DISP_E_OVERFLOW);
    EXPECT_EQ(Parse(L"M('abc' as long)"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Parse(L"M(#empty as long, 'b')"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Parse(L"M(1 as string, 70000 as byte)"), DISP_E_OVERFLOW);
}

TEST_F(CommandParser, ByReferenceArgumentsPointAtTheCallersVariable) {
    LONG number = 5;
    const std::wstring address = Address(&number);
    const wchar_t* const forms[] = {L" byref as long", L" as long byref", L" byref as long byref"};
    for (const wchar_t* form : forms) {
        const VARIANT& value = SingleArgument(address + form);
        EXPECT_EQ(value.vt, VT_I4 | VT_BYREF);
        EXPECT_EQ(value.plVal, &number);
    }
    // Without a type the literal's own, here a 64-bit number.
    const VARIANT& untyped = SingleArgument(address + L" byref");
    EXPECT_EQ(untyped.vt,
              (reinterpret_cast<std::uintptr_t>(&number) > INT32_MAX ? VT_I8 : VT_I4) | VT_BYREF);
    EXPECT_EQ(untyped.byref, &number);
    statement_.reset();
    EXPECT_EQ(number, 5);
}

TEST_F(CommandParser, ObjectArgumentsHoldAReference) {
    ComPtr<DispatchObject> object = DispatchObject::Create();
    const std::wstring address = Address(static_cast<IDispatch*>(object.Get()));
    for (const wchar_t* keyword : {L" as object", L" as IDispatch", L" as iunknown"}) {
        SCOPED_TRACE(testing::Narrow(keyword));
        const VARIANT& value = SingleArgument(address + keyword);
        EXPECT_EQ(value.vt, std::wstring(keyword) == L" as iunknown" ? VT_UNKNOWN : VT_DISPATCH);
        EXPECT_EQ(value.punkVal, static_cast<IUnknown*>(object.Get()));
        EXPECT_EQ(object->References(), 2u);
        statement_.reset();
        EXPECT_EQ(object->References(), 1u);
    }

    // "automationobject" takes a handle's address and passes the handle's object.
    AutomationHandlePtr handle = AttachAutomationObject(object.Get());
    ASSERT_TRUE(handle);
    const VARIANT& fromHandle = SingleArgument(Address(handle.get()) + L" as automationobject");
    EXPECT_EQ(fromHandle.vt, VT_DISPATCH);
    EXPECT_EQ(fromHandle.pdispVal, static_cast<IDispatch*>(object.Get()));
    EXPECT_EQ(object->References(), 3u);
    statement_.reset();
    handle.reset();
    EXPECT_EQ(object->References(), 1u);

    const VARIANT& nothing = SingleArgument(L"0 as object");
    EXPECT_EQ(nothing.vt, VT_DISPATCH);
    EXPECT_EQ(nothing.pdispVal, nullptr);
}

TEST_F(CommandParser, VariantArgumentsAreCopies) {
    ScopedVariant source;
    source->vt = VT_BSTR;
    source->bstrVal = AllocBstr(L"copied");
    const VARIANT& value = SingleArgument(Address(source.Get()) + L" as variant");
    EXPECT_EQ(Text(value), L"copied");
    EXPECT_NE(value.bstrVal, source->bstrVal);
    EXPECT_EQ(SingleArgument(L"0 as variant").vt, VT_EMPTY);
}

TEST_F(CommandParser, DecodeEscapes) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"abc$0041", L"abcA"},
        {L"$20AC", L"\u00AC"},  // only the low 8 bits count
        {L"$FFFF", L"\u00FF"},
        {L"$00e9t$00E9", L"\u00E9t\u00E9"},
        {L"$0041$0042", L"AB"},
        {L"$$0041", L"$A"},
        {L"$12", L""},  // cut off by the end: output ends at the "$"
        {L"ab$", L"ab"},
        {L"ab$1", L"ab"},
        {L"a$12G4b", L"a$12G4b"},  // interrupted: the "$" stays
        {L"$x", L"$x"},
        {L"$004g$0041", L"$004gA"},
        {L"$0027", L"'"},
        {L"no escapes", L"no escapes"},
    };
    for (const auto& [input, expected] : cases) {
        std::wstring text = input;
        DecodeEscapes(text);
        EXPECT_EQ(text, expected) << testing::Narrow(input);
    }
    // Quoted arguments are decoded; this is how a quote gets into a text.
    EXPECT_EQ(Text(SingleArgument(L"'abc$0041'")), L"abcA");
    EXPECT_EQ(Text(SingleArgument(L"'It$0027s'")), L"It's");
    EXPECT_EQ(Text(SingleArgument(L"'$12'")), L"");
    // Decoded NULs stay part of the text.
    EXPECT_EQ(Text(SingleArgument(L"'a$0000b'")), std::wstring(L"a\0b", 3));
}

TEST_F(CommandParser, EscapedTextArrivesUnchanged) {
    const std::wstring texts[] = {L"It's",      L"$0041 costs $5",
                                  L"'$'",       L"C:\\Bob's (old) songs\\a=b.doc",
                                  L"Am  F#7\r", L"\u20AC and \u00E9"};
    for (const std::wstring& text : texts) {
        EXPECT_EQ(Text(SingleArgument(L"'" + EscapeQuotedText(text) + L"'")), text)
            << testing::Narrow(text);
    }
}

TEST_F(CommandParser, ComponentLimit) {
    std::wstring twenty = L"A";
    for (int i = 1; i < kMaxCommandComponents; ++i) {
        twenty += L"\\A" + std::to_wstring(i);
    }
    ASSERT_EQ(Parse(twenty), S_OK);
    EXPECT_EQ(statement_->componentCount, 20);
    EXPECT_STREQ(statement_->components[19].name, L"A19");
    EXPECT_EQ(Parse(twenty + L"\\B"), E_INVALIDARG);
}

std::wstring CallWithArguments(int count) {
    std::wstring command = L"M(";
    for (int i = 1; i <= count; ++i) {
        command += (i > 1 ? L", " : L"") + std::to_wstring(i);
    }
    return command + L")";
}

TEST_F(CommandParser, ArgumentLimit) {
    ASSERT_EQ(Parse(CallWithArguments(20)), S_OK);
    const StatementComponent& call = statement_->components[0];
    ASSERT_EQ(call.argumentCount, 20);
    EXPECT_EQ(Integer(InvokeArguments(call)[0]), 20);
    EXPECT_EQ(Integer(InvokeArguments(call)[19]), 1);

    EXPECT_EQ(Parse(CallWithArguments(21)), E_OUTOFMEMORY);
    EXPECT_EQ(Parse(L"Item(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20)"
                    L" = 'one too many'"),
              E_OUTOFMEMORY);
    EXPECT_NE(ResultText(E_OUTOFMEMORY).find(L"maximum of 20 arguments"), std::wstring::npos);
}

TEST_F(CommandParser, TokenLimitEndsTheComponent) {
    // 202 tokens: reading stops after the 200th, so the ")" is never seen.
    EXPECT_EQ(Parse(CallWithArguments(100)), E_INVALIDARG);
    std::wstring longText = L"M('x'";
    for (int i = 0; i < 250; ++i) {
        longText += L" byref";
    }
    EXPECT_EQ(Parse(longText + L")"), E_INVALIDARG);
}

TEST_F(CommandParser, FailureReleasesEverythingParsedBefore) {
    ComPtr<DispatchObject> object = DispatchObject::Create();
    const std::wstring address = Address(static_cast<IDispatch*>(object.Get()));
    const std::wstring commands[] = {
        L"Documents\\Open('abc', 'def', 1 as string, x)",
        L"A('one')\\B(#nullstring, 'two')\\C(",
        L"A('x', 'y') = 'z' 'w'",
        L"A(" + address + L" as object, 'text', 300 as byte)",
        L"A(" + address + L" as object)\\B(" + address + L" as iunknown, oops)",
        L"A('x')\\B\\C\\D('y') = 'z'\\E",
    };
    for (const std::wstring& command : commands) {
        EXPECT_TRUE(FAILED(Parse(command))) << testing::Narrow(command);
        EXPECT_EQ(object->References(), 1u) << testing::Narrow(command);
    }
}

TEST_F(CommandParser, RunningOutOfMemoryAnywhereLeavesNothing) {
    const std::wstring command =
        L"Documents\\Open('C:\\x.doc', 1 as string, 'y', #nullstring)\\Range(3) = 'z'";
    int failures = 0;
    for (long index = 0; index < 100; ++index) {
        CheckedAllocator::FailAllocation(index);
        const HRESULT hr = Parse(command);
        if (!CheckedAllocator::Failed()) {
            EXPECT_EQ(hr, S_OK);
            break;
        }
        ++failures;
        EXPECT_EQ(hr, E_OUTOFMEMORY) << "allocation " << index;
    }
    CheckedAllocator::FailAllocation(-1);
    // Statement, three argument blocks, three names, four strings and the converted number.
    EXPECT_GE(failures, 12);
}

}  // namespace
}  // namespace melvane

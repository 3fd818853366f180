#include "com/last_error.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>

namespace melvane {
namespace {

struct TextCase {
    std::uint32_t code;
    const wchar_t* text;
};

// A sample of the fixed rows: the two codes sharing one text, and Win32-facility codes whose
// own row wins over the system's message.
const TextCase kFixedTexts[] = {
    {0x00000000u, L"Okay."},
    {0x00000001u, L"The operation completed, but was only partially successful."},
    {0x80070057u,
     L"One or more arguments are invalid. Possibly a numerical overflow or too many nested "
     L"objects, -if so, try splitting your method call into two or more subcalls."},
    {0x8007000Eu,
     L"Problem allocating memory.\r\n\r\n(Possibly too many method arguments. Each "
     L"method/property is limited by this automation layer to a maximum of 20 arguments.)"},
    {0x80070005u, L"A 'general' access denied error."},
    {0x800401F3u,
     L"Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check that "
     L"the component / ActiveX control has been registered."},
    {0x80040154u,
     L"Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check that "
     L"the component / ActiveX control has been registered."},
    {0x80020003u,
     L"Member not found. (Check that you have not omitted any optional parameters and are not "
     L"trying to set a read-only property etc.)"},
    {0x80020009u, L"An exception occurred during the execution of this method/property."},
};

// HRESULTs reach the record sign-extended, as a failing HRESULT converts to 64 bits.
std::int64_t AsStored(std::uint32_t code) {
    return static_cast<HRESULT>(code);
}

TEST(LastError, FixedTextsByCode) {
    for (const TextCase& row : kFixedTexts) {
        SetLastResult(AsStored(row.code));
        EXPECT_EQ(LastErrorCode(), AsStored(row.code)) << std::hex << row.code;
        EXPECT_EQ(LastErrorText(), row.text) << std::hex << row.code;
        // The same code given as a positive 64-bit value reads the same.
        EXPECT_EQ(ResultText(row.code), row.text) << std::hex << row.code;
    }
}

TEST(LastError, ExtraTextForPartialSuccessAndServerExceptions) {
    SetLastResult(S_FALSE, L"2 of 3 pages");
    EXPECT_EQ(LastErrorText(),
              L"The operation completed, but was only partially successful. (2 of 3 pages)");
    SetLastResult(DISP_E_EXCEPTION, L"The document is locked.");
    EXPECT_EQ(LastErrorText(), L"The document is locked.");
    // Other codes have no place for it.
    SetLastResult(E_FAIL, L"ignored");
    EXPECT_EQ(LastErrorText(), L"Unspecified error.");
}

TEST(LastError, Win32FacilityUsesTheSystemMessage) {
    // ERROR_FILE_NOT_FOUND: the system has a text for it.
    const std::wstring known = ResultText(AsStored(0x80070002u));
    const std::wstring prefix = L"(FACILITY_WIN32 error 0x80070002) ";
    ASSERT_EQ(known.substr(0, prefix.size()), prefix);
    EXPECT_GT(known.size(), prefix.size());
    EXPECT_EQ(known.find(L"Unable to retrieve"), std::wstring::npos);
    EXPECT_NE(known.back(), L'\n');
    // Win32 error 0xFFFF has no message.
    EXPECT_EQ(ResultText(AsStored(0x8007FFFFu)),
              L"(FACILITY_WIN32 error 0x8007FFFF) Unable to retrieve error description from "
              L"system!");
}

TEST(LastError, UnknownCodesAskForAReport) {
    const std::wstring text = ResultText(AsStored(0x8ABCDEF0u));
    const std::wstring start = L"Unknown error. (Code : Hex 8ABCDEF0). ";
    ASSERT_EQ(text.substr(0, start.size()), start);
    EXPECT_NE(text.find(L"report"), std::wstring::npos);
    EXPECT_NE(text.find(L"issue page, https://melvane.org/issues."), std::wstring::npos);
    // A success code other than 0 and 1 is no known row either.
    EXPECT_EQ(ResultText(2).substr(0, 36), L"Unknown error. (Code : Hex 00000002)");
}

TEST(LastError, EachThreadHasItsOwnRecord) {
    SetLastResult(E_INVALIDARG);
    std::int64_t freshCode = -1;
    std::wstring freshText = L"unset";
    std::int64_t storedCode = -1;
    std::thread other([&] {
        freshCode = LastErrorCode();
        freshText = LastErrorText();
        SetLastResult(E_OUTOFMEMORY);
        storedCode = LastErrorCode();
    });
    other.join();
    EXPECT_EQ(freshCode, 0);
    EXPECT_EQ(freshText, L"");
    EXPECT_EQ(storedCode, E_OUTOFMEMORY);
    EXPECT_EQ(LastErrorCode(), E_INVALIDARG);
}

}  // namespace
}  // namespace melvane

#include "com/last_error.h"

#include <windows.h>

#include <cwchar>
#include <new>

#include "platform/project.h"

namespace melvane {
namespace {

struct LastErrorRecord {
    std::int64_t code = 0;
    std::wstring text;
};

// Each thread's record hangs off a fiber-local slot whose callback frees it when the thread
// ends. (A thread_local with a destructor crashes at thread exit in MinGW's static runtime.)
void WINAPI FreeRecord(void* record) {
    delete static_cast<LastErrorRecord*>(record);
}

DWORD RecordSlot() {
    static const DWORD slot = FlsAlloc(FreeRecord);
    return slot;
}

LastErrorRecord* ThreadRecord() {
    const DWORD slot = RecordSlot();
    return slot == FLS_OUT_OF_INDEXES ? nullptr : static_cast<LastErrorRecord*>(FlsGetValue(slot));
}

struct FixedText {
    std::uint32_t code;
    const wchar_t* text;
};

constexpr FixedText kFixedTexts[] = {
    {0x00000000u, L"Okay."},
    {0x80004005u, L"Unspecified error."},
    {0x80070057u,
     L"One or more arguments are invalid. Possibly a numerical overflow or too many nested "
     L"objects, -if so, try splitting your method call into two or more subcalls."},
    {0x80004002u, L"Method is not implemented."},
    {0x8007000Eu,
     L"Problem allocating memory.\r\n\r\n(Possibly too many method arguments. Each "
     L"method/property is limited by this automation layer to a maximum of 20 arguments.)"},
    {0x8000FFFFu, L"An unexpected error."},
    {0x80004003u, L"An invalid pointer was supplied."},
    {0x80004001u,
     L"Not implemented. In the case of attaching an event handler to a COM object, this could "
     L"signify that the object does not provide any type information."},
    {0x800401F3u,
     L"Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check that "
     L"the component / ActiveX control has been registered."},
    {0x80040154u,
     L"Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check that "
     L"the component / ActiveX control has been registered."},
    {0x80080005u,
     L"Server execution failed. Usually caused by an 'out of process server' timing out when "
     L"asked to create an instance of a 'class factory'."},
    {0x80020005u, L"Type mismatch in the method parameters."},
    {0x8002802Bu,
     L"No type description was found in the library with the specified GUID whilst trying to "
     L"create an event handler."},
    {0x80040201u,
     L"Unable to set event handler because the connection point has already reached its limit "
     L"of connections."},
    {0x80040110u, L"Class does not support aggregation (or class object is remote)."},
    {0x8002000Au, L"Overflow error whilst converting between types."},
    {0x80020006u, L"Method/property not supported by this object."},
    {0x8002000Eu, L"Invalid number of method/property parameters."},
    {0x80020008u, L"A method/property parameter is not a valid (variant) type."},
    {0x80020003u,
     L"Member not found. (Check that you have not omitted any optional parameters and are not "
     L"trying to set a read-only property etc.)"},
    {0x80020011u, L"Does not support a collection."},
    {0x80070005u, L"A 'general' access denied error."},
    {0x8001010Eu,
     L"The application called upon an interface that was marshalled for a different thread."},
};

// HRESULTs arrive sign-extended; anything wider than 32 bits is shown in full.
std::wstring HexCode(std::int64_t code) {
    wchar_t buffer[24];
    if (code >= INT32_MIN && code <= static_cast<std::int64_t>(UINT32_MAX)) {
        std::swprintf(buffer, 24, L"%08X", static_cast<unsigned>(static_cast<std::uint32_t>(code)));
    } else {
        std::swprintf(buffer, 24, L"%016llX", static_cast<unsigned long long>(code));
    }
    return buffer;
}

std::wstring SystemMessage(std::uint32_t code) {
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code & 0xFFFFu, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::wstring text;
    if (length > 0 && message != nullptr) {
        text.assign(message, length);
    }
    LocalFree(message);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::wstring ResultText(std::int64_t code, std::wstring_view extraText) {
    const bool fits32 = code >= INT32_MIN && code <= static_cast<std::int64_t>(UINT32_MAX);
    const auto code32 = static_cast<std::uint32_t>(code);
    if (fits32) {
        if (code32 == 1u) {
            std::wstring text = L"The operation completed, but was only partially successful.";
            if (!extraText.empty()) {
                text += L" (" + std::wstring(extraText) + L")";
            }
            return text;
        }
        if (code32 == 0x80020009u) {
            if (!extraText.empty()) {
                return std::wstring(extraText);
            }
            return L"An exception occurred during the execution of this method/property.";
        }
        for (const FixedText& entry : kFixedTexts) {
            if (entry.code == code32) {
                return entry.text;
            }
        }
        if ((code32 & 0x7FFF0000u) == 0x00070000u) {
            std::wstring text = L"(FACILITY_WIN32 error 0x" + HexCode(code) + L") ";
            const std::wstring message = SystemMessage(code32);
            return text + (message.empty() ? L"Unable to retrieve error description from system!"
                                           : message);
        }
    }
    return L"Unknown error. (Code : Hex " + HexCode(code) +
           L"). Please report this error code to the Melvane developers on the project's issue "
           L"page, " +
           std::wstring(kIssuesAddress.begin(), kIssuesAddress.end()) + L".";
}

std::int64_t LastErrorCode() {
    const LastErrorRecord* record = ThreadRecord();
    return record != nullptr ? record->code : 0;
}

std::wstring LastErrorText() {
    const LastErrorRecord* record = ThreadRecord();
    return record != nullptr ? record->text : std::wstring();
}

void SetLastResult(std::int64_t code, std::wstring_view extraText) {
    LastErrorRecord* record = ThreadRecord();
    if (record == nullptr) {
        const DWORD slot = RecordSlot();
        if (slot == FLS_OUT_OF_INDEXES) {
            return;
        }
        record = new (std::nothrow) LastErrorRecord;
        if (record == nullptr || !FlsSetValue(slot, record)) {
            delete record;
            return;
        }
    }
    record->code = code;
    try {
        record->text = ResultText(code, extraText);
    } catch (const std::bad_alloc&) {
        record->text.clear();  // the code still tells what happened
    }
}

}  // namespace melvane

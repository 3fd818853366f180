// Automation handles: an object reached through IDispatch, driven by command strings.
//
//   auto word = CreateAutomationObject(L"Word.application", nullptr, true);
//   word->AssignProperty(L"Visible = #True");
//   auto document = word->QueryObject(L"Documents\\Open('C:\\Songs\\Song.docx')");
//
// Every operation parses its command, runs it, and stores its result code and text for the
// calling thread (see last_error.h), so a caller can say why something failed.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "com/command_parser.h"

namespace melvane {

class AutomationHandle;

struct AutomationHandleRelease {
    void operator()(AutomationHandle* handle) const noexcept;
};
// A handle is released through ReleaseObject; this owner does it on every path.
using AutomationHandlePtr = std::unique_ptr<AutomationHandle, AutomationHandleRelease>;

// The operations keep the order of the layer's operation table, whose slots callers know them
// by: CallMethod 0, ReleaseObject 1, QueryInteger 7, QueryObject 8, QueryText 10,
// AssignProperty 12. The table's remaining slots (enumeration, date, real and variant reads,
// by-reference assignment, events) are not offered.
//
// When a pre-parsed statement is passed it is run instead of the command and stays the
// caller's. A command with "=" is only accepted by AssignProperty, and AssignProperty needs one.
class AutomationHandle {
  public:
    // Calls the member and discards any result.
    virtual HRESULT CallMethod(std::wstring_view command,
                               const ParsedStatement* statement = nullptr) = 0;
    // Releases the object and ends the handle.
    virtual void ReleaseObject() = 0;
    // The value as a signed 64-bit integer; 0 on failure.
    virtual std::int64_t QueryInteger(std::wstring_view command,
                                      const ParsedStatement* statement = nullptr) = 0;
    // The object the command yields, as a new handle; none on failure. type is VT_DISPATCH or
    // VT_UNKNOWN (an object asked for IDispatch).
    virtual AutomationHandlePtr QueryObject(std::wstring_view command,
                                            const ParsedStatement* statement = nullptr,
                                            VARTYPE type = VT_DISPATCH) = 0;
    // The value as text; empty on failure.
    virtual std::wstring QueryText(std::wstring_view command,
                                   const ParsedStatement* statement = nullptr) = 0;
    // Runs "member = value" (or "member(arguments) = value") as a property assignment.
    virtual HRESULT AssignProperty(std::wstring_view command,
                                   const ParsedStatement* statement = nullptr) = 0;

    // The object, without a reference of its own. The "as automationobject" argument modifier
    // reads it from a handle's address.
    virtual IDispatch* Dispatch() const = 0;

  protected:
    virtual ~AutomationHandle() = default;
};

inline void AutomationHandleRelease::operator()(AutomationHandle* handle) const noexcept {
    handle->ReleaseObject();
}

// Creates the object named by a ProgID ("Word.application") or a CLSID in braces. With a
// container window the object is created as a control hosted in it; without one through its
// class factory (in-process or local server). initialiseCom calls CoInitialize first; the
// handles keep that initialisation until the last of them is released. None on failure; the
// result is stored either way.
AutomationHandlePtr CreateAutomationObject(std::wstring_view progIdOrClsid, HWND containerWindow,
                                           bool initialiseCom);

// A handle for an object the caller already has; the handle takes a reference of its own.
// None for a null object (E_POINTER). The result is stored either way.
AutomationHandlePtr AttachAutomationObject(IDispatch* object);

}  // namespace melvane

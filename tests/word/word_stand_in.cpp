// The Word stand-in the word tests register in their Wine prefix (see word_stand_in.h).
#include "tests/word/word_stand_in.h"

#include <objbase.h>
#include <oleauto.h>

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/com/dispatch_object.h"

namespace melvane::testing {
namespace {

// Plain globals: the tests call the exports from one thread at a time, and a thread_local with
// a destructor would not survive thread exit in this static build.
std::deque<std::wstring> callLog;  // a deque keeps each line in place as more are added
std::vector<std::wstring> failPrefixes;

std::wstring Render(const VARIANT& value) {
    switch (value.vt) {
        case VT_BSTR:
            return L"'" + std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) + L"'";
        case VT_BOOL:
            return value.boolVal != VARIANT_FALSE ? L"#true" : L"#false";
        case VT_I1:
            return std::to_wstring(static_cast<int>(value.cVal)) + L":I1";
        case VT_UI1:
            return std::to_wstring(value.bVal) + L":UI1";
        case VT_I2:
            return std::to_wstring(value.iVal) + L":I2";
        case VT_I4:
            return std::to_wstring(value.lVal) + L":I4";
        case VT_I8:
            return std::to_wstring(value.llVal) + L":I8";
        case VT_ERROR:
            if (value.scode == DISP_E_PARAMNOTFOUND) {
                return L"#empty";
            }
            break;
        default:
            break;
    }
    return L"?" + std::to_wstring(value.vt);
}

HRESULT Raise(Invocation& call, const std::wstring& description) {
    if (call.exception != nullptr) {
        call.exception->scode = E_FAIL;
        call.exception->bstrSource = AllocBstr(L"Microsoft Word");
        call.exception->bstrDescription = AllocBstr(description);
    }
    return DISP_E_EXCEPTION;
}

HRESULT ReturnObject(Invocation& call, IDispatch* object) {
    if (call.result == nullptr) {
        return S_OK;
    }
    object->AddRef();
    call.result->vt = VT_DISPATCH;
    call.result->pdispVal = object;
    return S_OK;
}

HRESULT ReturnText(Invocation& call, std::wstring_view text) {
    if (call.result == nullptr) {
        return S_OK;
    }
    call.result->vt = VT_BSTR;
    call.result->bstrVal = AllocBstr(text);
    return call.result->bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The argument at `position` (0 = the first written) of a call without a named value.
const VARIANT& Argument(const Invocation& call, UINT position) {
    return call.parameters->rgvarg[call.parameters->cArgs - 1 - position];
}

HRESULT TextArgument(const VARIANT& value, std::wstring& text) {
    ScopedVariant converted;
    const HRESULT hr = VariantChangeType(converted.Get(), const_cast<VARIANT*>(&value), 0, VT_BSTR);
    if (SUCCEEDED(hr)) {
        text.assign(converted->bstrVal, SysStringLen(converted->bstrVal));
    }
    return hr;
}

// Logs the call, fails it when a test asked for that, and otherwise answers it.
void AddLogged(DispatchObject& object, std::wstring objectName, std::wstring_view member,
               MemberFunction answer) {
    object.AddMember(member,
                     [line = std::move(objectName) + L"." + std::wstring(member),
                      answer = std::move(answer)](Invocation& call) -> HRESULT {
                         const UINT count = call.parameters->cArgs;
                         const bool assign = IsAssignment(call) && count > 0;
                         const UINT positional = assign ? count - 1 : count;
                         std::wstring logged = line;
                         if (positional > 0) {
                             logged += L"(";
                             for (UINT i = 0; i < positional; ++i) {
                                 logged += (i > 0 ? L", " : L"") +
                                           Render(call.parameters->rgvarg[count - 1 - i]);
                             }
                             logged += L")";
                         }
                         if (assign) {
                             logged += L" = " + Render(call.parameters->rgvarg[0]);
                         }
                         callLog.push_back(logged);
                         for (const std::wstring& prefix : failPrefixes) {
                             if (logged.starts_with(prefix)) {
                                 return Raise(call, kStandInToldToFail);
                             }
                         }
                         return answer(call);
                     });
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = true;
    char buffer[4096];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) {
            ok = false;
            break;
        }
        if (read == 0) {
            break;
        }
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return ok;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        bytes.empty() ||
        (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size());
    return CloseHandle(file) && ok;
}

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        size);
    return text;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

struct DocumentState {
    std::vector<std::wstring> paragraphs;  // each ends with its mark "\r"
};

// Lines are the paragraphs; a last line break does not start another one.
std::vector<std::wstring> SplitParagraphs(const std::wstring& text) {
    std::vector<std::wstring> paragraphs;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        const size_t next = end == std::wstring::npos ? text.size() : end + 1;
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        paragraphs.push_back(line + L"\r");
        start = next;
    }
    return paragraphs;
}

std::string JoinParagraphs(const std::vector<std::wstring>& paragraphs) {
    std::wstring text;
    for (std::wstring paragraph : paragraphs) {
        if (!paragraph.empty() && paragraph.back() == L'\r') {
            paragraph.pop_back();
        }
        text += paragraph + L"\n";
    }
    return ToUtf8(text);
}

struct ApplicationState {
    ComPtr<DispatchObject> activeDocument;
};

ComPtr<DispatchObject> MakeRange(std::shared_ptr<DocumentState> document, size_t number) {
    ComPtr<DispatchObject> range = DispatchObject::Create();
    AddLogged(*range.Get(), L"Range(" + std::to_wstring(number) + L")", L"Text",
              [document, number](Invocation& call) -> HRESULT {
                  std::wstring& text = document->paragraphs[number - 1];
                  if (IsAssignment(call)) {
                      return TextArgument(call.parameters->rgvarg[0], text);
                  }
                  return ReturnText(call, text);
              });
    return range;
}

ComPtr<DispatchObject> MakeParagraph(std::shared_ptr<DocumentState> document, size_t number) {
    ComPtr<DispatchObject> paragraph = DispatchObject::Create();
    AddLogged(*paragraph.Get(), L"Paragraph(" + std::to_wstring(number) + L")", L"Range",
              [document, number](Invocation& call) -> HRESULT {
                  return ReturnObject(call, MakeRange(document, number).Get());
              });
    return paragraph;
}

ComPtr<DispatchObject> MakeParagraphs(std::shared_ptr<DocumentState> document) {
    ComPtr<DispatchObject> paragraphs = DispatchObject::Create();
    AddLogged(*paragraphs.Get(), L"Paragraphs", L"Count", [document](Invocation& call) -> HRESULT {
        if (call.result != nullptr) {
            call.result->vt = VT_I4;
            call.result->lVal = static_cast<LONG>(document->paragraphs.size());
        }
        return S_OK;
    });
    return paragraphs;
}

ComPtr<DispatchObject> MakeDocument(std::weak_ptr<ApplicationState> application,
                                    std::shared_ptr<DocumentState> document) {
    ComPtr<DispatchObject> object = DispatchObject::Create();
    DispatchObject* self = object.Get();
    // Without an argument the collection; with one its paragraph, as Word's default member does.
    AddLogged(*object.Get(), L"Document", L"Paragraphs", [document](Invocation& call) -> HRESULT {
        if (call.parameters->cArgs == 0) {
            return ReturnObject(call, MakeParagraphs(document).Get());
        }
        ScopedVariant index;
        if (call.parameters->cArgs != 1 ||
            FAILED(VariantChangeType(index.Get(), &call.parameters->rgvarg[0], 0, VT_I4))) {
            return DISP_E_TYPEMISMATCH;
        }
        if (index->lVal < 1 || static_cast<size_t>(index->lVal) > document->paragraphs.size()) {
            return Raise(call, kStandInNoSuchParagraph);
        }
        return ReturnObject(call, MakeParagraph(document, static_cast<size_t>(index->lVal)).Get());
    });
    AddLogged(*object.Get(), L"Document", L"SaveAs", [document](Invocation& call) -> HRESULT {
        std::wstring path;
        if (call.parameters->cArgs < 1 || call.parameters->cArgs > 2) {
            return DISP_E_BADPARAMCOUNT;
        }
        const HRESULT hr = TextArgument(Argument(call, 0), path);
        if (FAILED(hr)) {
            return hr;
        }
        if (!WriteFileBytes(path, JoinParagraphs(document->paragraphs))) {
            return Raise(call, std::wstring(kStandInNotSaved) + L" (" + path + L")");
        }
        return S_OK;
    });
    AddLogged(*object.Get(), L"Document", L"Close", [application, self](Invocation&) -> HRESULT {
        if (auto state = application.lock(); state && state->activeDocument.Get() == self) {
            state->activeDocument.Reset();
        }
        return S_OK;
    });
    return object;
}

ComPtr<DispatchObject> MakeDocuments(std::shared_ptr<ApplicationState> application) {
    ComPtr<DispatchObject> documents = DispatchObject::Create();
    std::weak_ptr<ApplicationState> weak = application;
    AddLogged(*documents.Get(), L"Documents", L"Open", [weak](Invocation& call) -> HRESULT {
        std::wstring path;
        if (call.parameters->cArgs < 1) {
            return DISP_E_BADPARAMCOUNT;
        }
        const HRESULT hr = TextArgument(Argument(call, 0), path);
        if (FAILED(hr)) {
            return hr;
        }
        std::string bytes;
        if (!ReadFileBytes(path, bytes)) {
            return Raise(call, std::wstring(kStandInNotFound) + L" (" + path + L")");
        }
        auto document = std::make_shared<DocumentState>();
        document->paragraphs = SplitParagraphs(FromUtf8(bytes));
        ComPtr<DispatchObject> object = MakeDocument(weak, document);
        if (auto state = weak.lock()) {
            state->activeDocument = object;
        }
        return ReturnObject(call, object.Get());
    });
    return documents;
}

void AddFlag(DispatchObject& application, std::wstring_view name) {
    auto value = std::make_shared<bool>(false);
    AddLogged(application, L"Application", name, [value](Invocation& call) -> HRESULT {
        if (IsAssignment(call)) {
            ScopedVariant flag;
            const HRESULT hr =
                VariantChangeType(flag.Get(), &call.parameters->rgvarg[0], 0, VT_BOOL);
            if (SUCCEEDED(hr)) {
                *value = flag->boolVal != VARIANT_FALSE;
            }
            return hr;
        }
        if (call.result != nullptr) {
            call.result->vt = VT_BOOL;
            call.result->boolVal = *value ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    });
}

ComPtr<DispatchObject> MakeApplication() {
    callLog.push_back(L"new Application");
    auto state = std::make_shared<ApplicationState>();
    ComPtr<DispatchObject> application = DispatchObject::Create();
    AddFlag(*application.Get(), L"Visible");
    AddFlag(*application.Get(), L"DisplayAlerts");
    ComPtr<DispatchObject> documents = MakeDocuments(state);
    AddLogged(*application.Get(), L"Application", L"Documents",
              [documents](Invocation& call) { return ReturnObject(call, documents.Get()); });
    AddLogged(*application.Get(), L"Application", L"ActiveDocument",
              [state](Invocation& call) -> HRESULT {
                  if (!state->activeDocument) {
                      return Raise(call, kStandInNoDocument);
                  }
                  return ReturnObject(call, state->activeDocument.Get());
              });
    // Word closes whatever is still open when it quits.
    AddLogged(*application.Get(), L"Application", L"Quit", [state](Invocation&) -> HRESULT {
        state->activeDocument.Reset();
        return S_OK;
    });
    return application;
}

class ClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as the module.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        return MakeApplication()->QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

ClassFactory factory;

}  // namespace
}  // namespace melvane::testing

using namespace melvane::testing;

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    CLSID standIn{};
    CLSIDFromString(kWordStandInClsid, &standIn);
    if (clsid == standIn) {
        return factory.QueryInterface(iid, object);
    }
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

// Stays loaded: the tests read its log.
extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return S_FALSE;
}

extern "C" long WINAPI WordStandInAlive() {
    return DispatchObject::Alive();
}

extern "C" void WINAPI WordStandInReset() {
    callLog.clear();
    failPrefixes.clear();
}

extern "C" long WINAPI WordStandInCallCount() {
    return static_cast<long>(callLog.size());
}

extern "C" const wchar_t* WINAPI WordStandInCall(long index) {
    if (index < 0 || static_cast<size_t>(index) >= callLog.size()) {
        return L"";
    }
    return callLog[static_cast<size_t>(index)].c_str();
}

extern "C" void WINAPI WordStandInFailCalls(const wchar_t* prefix) {
    failPrefixes.emplace_back(prefix);
}

#include "com/automation.h"

#include <objbase.h>
#include <oleauto.h>

#include <new>
#include <utility>

#include "com/com_resources.h"
#include "com/last_error.h"

namespace melvane {
namespace {

// One CoInitialize of the creating thread, undone when the last handle that relies on it ends.
class ComInitialisation {
  public:
    ComInitialisation() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ComInitialisation(const ComInitialisation&) = delete;
    ComInitialisation& operator=(const ComInitialisation&) = delete;
    ~ComInitialisation() {
        if (initialised_) {
            CoUninitialize();
        }
    }

  private:
    bool initialised_;
};

enum class Operation { Call, Read, Assign };

std::wstring ExceptionDescription(EXCEPINFO& exception) {
    if (exception.pfnDeferredFillIn != nullptr) {
        exception.pfnDeferredFillIn(&exception);
    }
    return std::wstring(ScopedBstr(exception.bstrDescription).View());
}

// Every component but the last must yield the object the next one is applied to; the last is
// called, read or assigned. The intermediate objects are released on every path.
HRESULT Execute(IDispatch* object, const ParsedStatement& statement, Operation operation,
                VARIANT* result, std::wstring& exceptionText) {
    ComPtr<IDispatch> target = ComPtr<IDispatch>::Share(object);
    for (std::int64_t i = 0; i < statement.componentCount; ++i) {
        const StatementComponent& component = statement.components[i];
        const bool last = i + 1 == statement.componentCount;
        const bool assign = last && operation == Operation::Assign;

        DISPID member = DISPID_UNKNOWN;
        LPOLESTR name = component.name;
        HRESULT hr = target->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &member);
        if (FAILED(hr)) {
            return hr;
        }

        DISPID propertyPut = DISPID_PROPERTYPUT;
        DISPPARAMS parameters{};
        parameters.cArgs = static_cast<UINT>(component.argumentCount);
        parameters.rgvarg = component.argumentCount > 0 ? InvokeArguments(component) : nullptr;
        WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
        if (assign) {
            flags = DISPATCH_PROPERTYPUT;
            parameters.rgdispidNamedArgs = &propertyPut;
            parameters.cNamedArgs = 1;
        }

        ScopedVariant answer;
        EXCEPINFO exception{};
        UINT argumentError = 0;
        hr = target->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                            assign ? nullptr : answer.Get(), &exception, &argumentError);
        if (hr == DISP_E_EXCEPTION) {
            exceptionText = ExceptionDescription(exception);
        } else {
            SysFreeString(exception.bstrDescription);
        }
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrHelpFile);
        if (FAILED(hr)) {
            return hr;
        }

        if (last) {
            if (result != nullptr) {
                *result = answer.Detach();
            }
            return hr;
        }
        const HRESULT converted = VariantChangeType(answer.Get(), answer.Get(), 0, VT_DISPATCH);
        if (FAILED(converted)) {
            return converted;
        }
        if (answer->pdispVal == nullptr) {
            return E_POINTER;
        }
        target = ComPtr<IDispatch>::Share(answer->pdispVal);
    }
    return E_INVALIDARG;  // a statement always has a component; this is not reached
}

class DispatchHandle final : public AutomationHandle {
  public:
    DispatchHandle(ComPtr<IDispatch> object, std::shared_ptr<ComInitialisation> com)
        : com_(std::move(com)), object_(std::move(object)) {}

    HRESULT CallMethod(std::wstring_view command, const ParsedStatement* statement) override {
        ScopedVariant ignored;
        std::wstring exceptionText;
        const HRESULT hr = Run(command, statement, Operation::Call, ignored.Get(), exceptionText);
        SetLastResult(hr, exceptionText);
        return hr;
    }

    void ReleaseObject() override { delete this; }

    std::int64_t QueryInteger(std::wstring_view command,
                              const ParsedStatement* statement) override {
        ScopedVariant value;
        std::wstring exceptionText;
        HRESULT hr = Run(command, statement, Operation::Read, value.Get(), exceptionText);
        hr = ConvertResult(hr, value, VT_I8);
        SetLastResult(hr, exceptionText);
        return SUCCEEDED(hr) ? value->llVal : 0;
    }

    AutomationHandlePtr QueryObject(std::wstring_view command, const ParsedStatement* statement,
                                    VARTYPE type) override {
        if (type != VT_DISPATCH && type != VT_UNKNOWN) {
            SetLastResult(E_INVALIDARG);
            return nullptr;
        }
        ScopedVariant value;
        std::wstring exceptionText;
        HRESULT hr = Run(command, statement, Operation::Read, value.Get(), exceptionText);
        hr = ConvertResult(hr, value, type);
        ComPtr<IDispatch> object;
        if (SUCCEEDED(hr)) {
            IUnknown* unknown = type == VT_DISPATCH ? value->pdispVal : value->punkVal;
            hr = unknown == nullptr ? E_POINTER
                                    : unknown->QueryInterface(
                                          IID_IDispatch, reinterpret_cast<void**>(object.Put()));
        }
        AutomationHandlePtr handle;
        if (SUCCEEDED(hr)) {
            handle.reset(new (std::nothrow) DispatchHandle(std::move(object), com_));
            if (!handle) {
                hr = E_OUTOFMEMORY;
            }
        }
        SetLastResult(hr, exceptionText);
        return handle;
    }

    std::wstring QueryText(std::wstring_view command, const ParsedStatement* statement) override {
        ScopedVariant value;
        std::wstring exceptionText;
        HRESULT hr = Run(command, statement, Operation::Read, value.Get(), exceptionText);
        hr = ConvertResult(hr, value, VT_BSTR);
        std::wstring text;
        if (SUCCEEDED(hr)) {
            text = ScopedBstr(value.Detach().bstrVal).View();
        }
        SetLastResult(hr, exceptionText);
        return text;
    }

    HRESULT AssignProperty(std::wstring_view command, const ParsedStatement* statement) override {
        std::wstring exceptionText;
        const HRESULT hr = Run(command, statement, Operation::Assign, nullptr, exceptionText);
        SetLastResult(hr, exceptionText);
        return hr;
    }

    IDispatch* Dispatch() const override { return object_.Get(); }

  private:
    // Released through ReleaseObject only.
    ~DispatchHandle() override = default;

    HRESULT Run(std::wstring_view command, const ParsedStatement* statement, Operation operation,
                VARIANT* result, std::wstring& exceptionText) {
        StatementPtr parsed;
        if (statement == nullptr) {
            ParsedStatement* fresh = nullptr;
            const HRESULT hr = ParseCommand(command, &fresh);
            if (FAILED(hr)) {
                return hr;
            }
            parsed.reset(fresh);
            statement = fresh;
        }
        // Reading or calling with "=" would pass the value as an argument, and assigning
        // without one has no value: both are the caller's mistake.
        if (statement->assignment != (operation == Operation::Assign)) {
            return E_INVALIDARG;
        }
        try {
            return Execute(object_.Get(), *statement, operation, result, exceptionText);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

    // Keeps a success code of the call unless the conversion fails.
    static HRESULT ConvertResult(HRESULT hr, ScopedVariant& value, VARTYPE type) {
        if (FAILED(hr)) {
            return hr;
        }
        const HRESULT converted = VariantChangeType(value.Get(), value.Get(), 0, type);
        return FAILED(converted) ? converted : hr;
    }

    // Declared first so that the object is released before COM may be uninitialised.
    std::shared_ptr<ComInitialisation> com_;
    ComPtr<IDispatch> object_;
};

// The container branch needs ATL's control host; it is loaded on first use rather than linked,
// since this program never hosts controls and every Windows ships atl.dll.
struct AtlHost {
    using WinInitFunction = BOOL(WINAPI*)();
    using CreateControlFunction = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**);
    using GetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);

    HRESULT status = E_FAIL;
    CreateControlFunction createControl = nullptr;
    GetControlFunction getControl = nullptr;
};

template <typename Function>
Function LookUp(HMODULE module, const char* name) {
    // Through a plain function pointer type, which is what casts between function types allow.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

const AtlHost& LoadAtlHost() {
    static const AtlHost host = [] {
        AtlHost loaded;
        // Stays loaded: hosted controls live in windows of the class it registers.
        // From the system folder only: a planted atl.dll beside the program must not be loaded.
        HMODULE atl = LoadLibraryExW(L"atl.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (atl == nullptr) {
            loaded.status = HRESULT_FROM_WIN32(GetLastError());
            return loaded;
        }
        const auto winInit = LookUp<AtlHost::WinInitFunction>(atl, "AtlAxWinInit");
        loaded.createControl = LookUp<AtlHost::CreateControlFunction>(atl, "AtlAxCreateControl");
        loaded.getControl = LookUp<AtlHost::GetControlFunction>(atl, "AtlAxGetControl");
        if (winInit == nullptr || loaded.createControl == nullptr || loaded.getControl == nullptr) {
            loaded.status = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        } else {
            loaded.status = winInit() ? S_OK : E_FAIL;
        }
        return loaded;
    }();
    return host;
}

HRESULT CreateHostedControl(const std::wstring& name, HWND container, ComPtr<IDispatch>& object) {
    const AtlHost& host = LoadAtlHost();
    if (FAILED(host.status)) {
        return host.status;
    }
    HRESULT hr = host.createControl(name.c_str(), container, nullptr, nullptr);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IUnknown> control;
    hr = host.getControl(container, control.Put());
    if (FAILED(hr)) {
        return hr;
    }
    if (!control) {
        return E_POINTER;
    }
    return control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.Put()));
}

HRESULT CreateFromClassFactory(const CLSID& clsid, ComPtr<IDispatch>& object) {
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, nullptr,
                                  IID_IClassFactory, reinterpret_cast<void**>(factory.Put()));
    if (FAILED(hr)) {
        return hr;
    }
    hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.Put()));
    if (SUCCEEDED(hr) && object) {
        return hr;
    }
    // Some servers only hand out IUnknown from their factory.
    ComPtr<IUnknown> unknown;
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(unknown.Put()));
    if (FAILED(hr)) {
        return hr;
    }
    if (!unknown) {
        return E_POINTER;
    }
    return unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.Put()));
}

AutomationHandlePtr Create(std::wstring_view progIdOrClsid, HWND containerWindow,
                           bool initialiseCom, HRESULT& hr) {
    std::shared_ptr<ComInitialisation> com;
    if (initialiseCom) {
        com = std::make_shared<ComInitialisation>();
    }
    if (progIdOrClsid.empty()) {
        hr = E_INVALIDARG;
        return nullptr;
    }
    const std::wstring name(progIdOrClsid);
    CLSID clsid{};
    hr = name.front() == L'{' ? CLSIDFromString(name.c_str(), &clsid)
                              : CLSIDFromProgID(name.c_str(), &clsid);
    if (FAILED(hr)) {
        return nullptr;
    }
    ComPtr<IDispatch> object;
    hr = containerWindow != nullptr ? CreateHostedControl(name, containerWindow, object)
                                    : CreateFromClassFactory(clsid, object);
    if (FAILED(hr)) {
        return nullptr;
    }
    hr = S_OK;
    return AutomationHandlePtr(new DispatchHandle(std::move(object), std::move(com)));
}

}  // namespace

AutomationHandlePtr CreateAutomationObject(std::wstring_view progIdOrClsid, HWND containerWindow,
                                           bool initialiseCom) {
    HRESULT hr = E_UNEXPECTED;
    AutomationHandlePtr handle;
    try {
        handle = Create(progIdOrClsid, containerWindow, initialiseCom, hr);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    SetLastResult(hr);
    return handle;
}

AutomationHandlePtr AttachAutomationObject(IDispatch* object) {
    AutomationHandlePtr handle;
    HRESULT hr = E_POINTER;
    if (object != nullptr) {
        handle.reset(new (std::nothrow) DispatchHandle(ComPtr<IDispatch>::Share(object), nullptr));
        hr = handle ? S_OK : E_OUTOFMEMORY;
    }
    SetLastResult(hr);
    return handle;
}

}  // namespace melvane

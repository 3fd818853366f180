#include "tests/com/dispatch_object.h"

#include <oleauto.h>

#include <cwctype>

namespace melvane::testing {
namespace {

bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) {
            return false;
        }
    }
    return true;
}

bool HoldsInterface(VARTYPE type) {
    return (type & VT_BYREF) != 0 || type == VT_DISPATCH || type == VT_UNKNOWN;
}

// The fill-in callback of deferred exceptions: the description waits in bstrSource's place
// until the caller asks for it.
HRESULT STDMETHODCALLTYPE FillInDescription(EXCEPINFO* exception) {
    exception->bstrDescription = exception->bstrSource;
    exception->bstrSource = nullptr;
    return S_OK;
}

}  // namespace

ReceivedValue::ReceivedValue(const VARIANT& value) : owned_(!HoldsInterface(value.vt)) {
    VariantInit(&value_);
    if (owned_) {
        VariantCopy(&value_, const_cast<VARIANT*>(&value));
    } else {
        value_ = value;
    }
}

ReceivedValue::ReceivedValue(ReceivedValue&& other) noexcept
    : value_(other.value_), owned_(other.owned_) {
    VariantInit(&other.value_);
}

ReceivedValue::~ReceivedValue() {
    if (owned_) {
        VariantClear(&value_);
    }
}

std::wstring ReceivedValue::Text() const {
    if (value_.vt != VT_BSTR || value_.bstrVal == nullptr) {
        return {};
    }
    return std::wstring(value_.bstrVal, SysStringLen(value_.bstrVal));
}

bool IsRead(const Invocation& call) {
    return (call.flags & DISPATCH_PROPERTYGET) != 0 && call.parameters->cNamedArgs == 0;
}

bool IsAssignment(const Invocation& call) {
    return (call.flags & DISPATCH_PROPERTYPUT) != 0 && call.parameters->cNamedArgs == 1 &&
           call.parameters->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
}

DispatchObject::DispatchObject() {
    ++alive_;
}

DispatchObject::~DispatchObject() {
    --alive_;
}

ComPtr<DispatchObject> DispatchObject::Create() {
    return ComPtr<DispatchObject>(new DispatchObject);
}

void DispatchObject::AddMember(std::wstring_view name, MemberFunction function) {
    members_.push_back(Member{std::wstring(name), std::move(function)});
}

void DispatchObject::AddProperty(std::wstring_view name, const VARIANT& initial) {
    auto stored = std::make_unique<StoredProperty>();
    stored->name = name;
    VariantCopy(stored->value.Get(), const_cast<VARIANT*>(&initial));
    StoredProperty* property = stored.get();
    properties_.push_back(std::move(stored));
    AddMember(name, [property](Invocation& call) -> HRESULT {
        if (IsAssignment(call)) {
            if (call.parameters->cArgs != 1) {
                return DISP_E_BADPARAMCOUNT;
            }
            return VariantCopy(property->value.Get(), &call.parameters->rgvarg[0]);
        }
        if (call.parameters->cArgs != 0) {
            return DISP_E_BADPARAMCOUNT;
        }
        if (call.result == nullptr) {
            return S_OK;
        }
        return VariantCopy(call.result, property->value.Get());
    });
}

void DispatchObject::AddStringProperty(std::wstring_view name, std::wstring_view text) {
    ScopedVariant value;
    value->vt = VT_BSTR;
    value->bstrVal = AllocBstr(text);
    AddProperty(name, *value.Get());
}

void DispatchObject::AddIntegerProperty(std::wstring_view name, LONG number) {
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = number;
    AddProperty(name, value);
}

void DispatchObject::AddObject(std::wstring_view name, IDispatch* object) {
    ComPtr<IDispatch> kept = ComPtr<IDispatch>::Share(object);
    AddMember(name, [kept](Invocation& call) -> HRESULT {
        if (call.result != nullptr) {
            call.result->vt = VT_DISPATCH;
            call.result->pdispVal = kept.Get();
            if (kept) {
                kept->AddRef();
            }
        }
        return S_OK;
    });
}

void DispatchObject::AddThrowingMember(std::wstring_view name, std::wstring_view description,
                                       bool deferred) {
    AddMember(name, [text = std::wstring(description), deferred](Invocation& call) -> HRESULT {
        if (call.exception == nullptr) {
            return DISP_E_EXCEPTION;
        }
        call.exception->scode = E_FAIL;
        BSTR message = text.empty() ? nullptr : AllocBstr(text);
        if (deferred) {
            call.exception->bstrSource = message;
            call.exception->pfnDeferredFillIn = FillInDescription;
        } else {
            call.exception->bstrSource = AllocBstr(L"Melvane test object");
            call.exception->bstrDescription = message;
        }
        call.exception->bstrHelpFile = AllocBstr(L"help.chm");
        return DISP_E_EXCEPTION;
    });
}

const VARIANT& DispatchObject::Property(std::wstring_view name) const {
    for (const auto& property : properties_) {
        if (SameName(property->name, name)) {
            return *property->value.Get();
        }
    }
    static const VARIANT empty{};
    return empty;
}

HRESULT DispatchObject::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DispatchObject::AddRef() {
    return ++references_;
}

ULONG DispatchObject::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    HRESULT result = S_OK;
    for (UINT n = 0; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        for (size_t i = 0; i < members_.size(); ++i) {
            if (SameName(members_[i].name, names[n])) {
                ids[n] = static_cast<DISPID>(i + 1);
                break;
            }
        }
        if (ids[n] == DISPID_UNKNOWN) {
            result = DISP_E_UNKNOWNNAME;
        }
    }
    return result;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                               VARIANT* result, EXCEPINFO* exception, UINT*) {
    if (id < 1 || static_cast<size_t>(id) > members_.size()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const Member& member = members_[static_cast<size_t>(id - 1)];
    ReceivedCall received;
    received.member = member.name;
    received.flags = flags;
    for (UINT i = 0; i < parameters->cArgs; ++i) {
        received.arguments.emplace_back(parameters->rgvarg[i]);
    }
    for (UINT i = 0; i < parameters->cNamedArgs; ++i) {
        received.namedArguments.push_back(parameters->rgdispidNamedArgs[i]);
    }
    calls_.push_back(std::move(received));
    Invocation call{flags, parameters, result, exception};
    // Copy first: a member may add members and so move the table.
    const MemberFunction function = member.function;
    return function(call);
}

}  // namespace melvane::testing

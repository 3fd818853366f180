// A small IDispatch for tests: members are added by name with the code that answers them,
// every call is recorded, and references are counted so tests can see what a caller keeps.
// The in-process test server builds its objects from it too.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "com/com_resources.h"

namespace melvane::testing {

// An argument as the server received it. Strings and numbers are copied; an object or a
// by-reference argument keeps only its pointer, so that recording takes no reference.
class ReceivedValue {
  public:
    explicit ReceivedValue(const VARIANT& value);
    ReceivedValue(ReceivedValue&& other) noexcept;
    ReceivedValue(const ReceivedValue&) = delete;
    ReceivedValue& operator=(const ReceivedValue&) = delete;
    ReceivedValue& operator=(ReceivedValue&&) = delete;
    ~ReceivedValue();

    VARTYPE Type() const { return value_.vt; }
    const VARIANT& Value() const { return value_; }
    std::wstring Text() const;  // VT_BSTR only

  private:
    VARIANT value_;
    bool owned_;
};

struct ReceivedCall {
    std::wstring member;
    WORD flags = 0;
    std::vector<ReceivedValue> arguments;  // in Invoke's order: the last argument first
    std::vector<DISPID> namedArguments;
};

struct Invocation {
    WORD flags;
    DISPPARAMS* parameters;
    VARIANT* result;  // null when the caller wants none
    EXCEPINFO* exception;
};
using MemberFunction = std::function<HRESULT(Invocation&)>;

class DispatchObject final : public IDispatch {
  public:
    // A new object with one reference, owned by the returned pointer.
    static ComPtr<DispatchObject> Create();

    void AddMember(std::wstring_view name, MemberFunction function);
    // Read returns a copy of the value; assignment replaces it.
    void AddProperty(std::wstring_view name, const VARIANT& initial);
    void AddStringProperty(std::wstring_view name, std::wstring_view text);
    void AddIntegerProperty(std::wstring_view name, LONG number);
    // Read returns the object with a reference for the caller; null gives an empty object.
    void AddObject(std::wstring_view name, IDispatch* object);
    // Fails with DISP_E_EXCEPTION; the description is filled in at once or, when deferred, by
    // the fill-in callback. An empty description leaves it null.
    void AddThrowingMember(std::wstring_view name, std::wstring_view description,
                           bool deferred = false);

    const VARIANT& Property(std::wstring_view name) const;
    const std::vector<ReceivedCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    ULONG References() const { return references_; }
    // Objects of this kind alive in this module.
    static long Alive() { return alive_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

  private:
    struct Member {
        std::wstring name;
        MemberFunction function;
    };
    struct StoredProperty {
        std::wstring name;
        ScopedVariant value;
    };

    DispatchObject();
    ~DispatchObject();

    std::atomic<ULONG> references_{1};
    std::vector<Member> members_;
    std::vector<std::unique_ptr<StoredProperty>> properties_;
    std::vector<ReceivedCall> calls_;
    static inline std::atomic<long> alive_{0};
};

// Helpers for members written in tests.
bool IsRead(const Invocation& call);
bool IsAssignment(const Invocation& call);

}  // namespace melvane::testing

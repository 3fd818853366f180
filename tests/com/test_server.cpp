// In-process automation server for the creation tests, built from DispatchObject.
#include "tests/com/test_server.h"

#include <objbase.h>
#include <oleauto.h>

#include "tests/com/dispatch_object.h"

namespace melvane::testing {
namespace {

ComPtr<DispatchObject> MakeServerObject() {
    ComPtr<DispatchObject> object = DispatchObject::Create();
    object->AddStringProperty(L"Name", kTestServerName);
    object->AddMember(L"Add", [](Invocation& call) -> HRESULT {
        if (call.parameters->cArgs != 2) {
            return DISP_E_BADPARAMCOUNT;
        }
        LONG sum = 0;
        for (UINT i = 0; i < 2; ++i) {
            VARIANT number;
            VariantInit(&number);
            const HRESULT hr = VariantChangeType(&number, &call.parameters->rgvarg[i], 0, VT_I4);
            if (FAILED(hr)) {
                return hr;
            }
            sum += number.lVal;
        }
        if (call.result != nullptr) {
            call.result->vt = VT_I4;
            call.result->lVal = sum;
        }
        return S_OK;
    });
    ComPtr<DispatchObject> child = DispatchObject::Create();
    child->AddIntegerProperty(L"Value", 42);
    object->AddObject(L"Child", child.Get());
    return object;
}

class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(bool givesDispatch) : givesDispatch_(givesDispatch) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factories live as long as the module.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        if (!givesDispatch_ && iid == IID_IDispatch) {
            return E_NOINTERFACE;
        }
        return MakeServerObject()->QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    bool givesDispatch_;
};

ClassFactory dispatchFactory(true);
ClassFactory unknownOnlyFactory(false);

}  // namespace
}  // namespace melvane::testing

using namespace melvane::testing;

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    CLSID dispatchClsid{};
    CLSID unknownOnlyClsid{};
    CLSIDFromString(kTestServerClsid, &dispatchClsid);
    CLSIDFromString(kUnknownOnlyClsid, &unknownOnlyClsid);
    if (clsid == dispatchClsid) {
        return dispatchFactory.QueryInterface(iid, object);
    }
    if (clsid == unknownOnlyClsid) {
        return unknownOnlyFactory.QueryInterface(iid, object);
    }
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

// Stays loaded: the tests ask it how many objects are left.
extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return S_FALSE;
}

extern "C" long WINAPI TestServerAlive() {
    return DispatchObject::Alive();
}

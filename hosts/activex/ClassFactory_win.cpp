#include "hosts/activex/ClassFactory_win.h"

#include "hosts/activex/ComModule_win.h"
#include "hosts/activex/Pixmend.h"
#include "hosts/activex/PixmendControl_win.h"

namespace {

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateObjectFn create) : create_(create) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // The factory lives as long as the module; every reference a client
    // holds keeps the module loaded.
    STDMETHODIMP_(ULONG) AddRef() override {
        g_module.Lock();
        return ULONG(InterlockedIncrement(&refs_)) + 1;
    }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        g_module.Unlock();
        return ULONG(left) + 1;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        // An aggregated object hands its controlling unknown only its inner
        // IUnknown; anything else would break the aggregate's identity.
        if (outer != nullptr && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
        return create_(outer, riid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) g_module.Lock();
        else g_module.Unlock();
        return S_OK;
    }

private:
    CreateObjectFn create_;
    volatile LONG refs_ = 0;  // outside references, for the return values only
};

struct ObjectMapEntry {
    const CLSID* clsid;
    ClassFactory* factory;
};

ClassFactory g_pixmendFactory(&CPixmend::CreateInstance);

const ObjectMapEntry kObjectMap[] = {
    {&CLSID_Pixmend, &g_pixmendFactory},
};

}  // namespace

HRESULT GetMappedClassObject(REFCLSID clsid, REFIID riid, void** out) {
    *out = nullptr;
    for (const ObjectMapEntry& entry : kObjectMap)
        if (*entry.clsid == clsid) return entry.factory->QueryInterface(riid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

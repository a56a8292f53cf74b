// The class object, the module's lock count and aggregation, seen from a C++
// client of the unregistered DLL.
#include "tests/activex/PixmendDll.h"

namespace {

const CLSID kOtherClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST_F(ComTest, ClassObjectAnswers) {
    const struct {
        const char* what;
        const CLSID* clsid;
        const IID* iid;
        HRESULT expected;
    } cases[] = {
        {"class factory", &CLSID_Pixmend, &IID_IClassFactory, S_OK},
        {"IUnknown", &CLSID_Pixmend, &IID_IUnknown, S_OK},
        {"not a factory interface", &CLSID_Pixmend, &IID_IDispatch, E_NOINTERFACE},
        {"other class", &kOtherClass, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {"library id is no class", &LIBID_PixmendAppLib, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        // The proxy/stub class (its id is the interface id) comes from the
        // built-in proxy code.
        {"proxy/stub factory", &IID_IPixmend, &IID_IPSFactoryBuffer, S_OK},
    };
    for (const auto& c : cases) {
        IUnknown* object = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(dll.getClassObject(*c.clsid, *c.iid, reinterpret_cast<void**>(&object)), c.expected)
            << c.what;
        if (c.expected == S_OK) {
            ASSERT_NE(object, nullptr) << c.what;
            object->Release();
        } else {
            EXPECT_EQ(object, nullptr) << c.what;
        }
    }
    EXPECT_EQ(dll.getClassObject(CLSID_Pixmend, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(dll.canUnloadNow(), S_OK);
}

TEST_F(ComTest, LocksKeepTheModule) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(dll.getClassObject(CLSID_Pixmend, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "a held class object";
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "a locked server";
    ASSERT_EQ(dll.getClassObject(CLSID_Pixmend, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(FALSE);
    IPixmend* control = nullptr;
    IUnknown* wrong = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, reinterpret_cast<void**>(&wrong)),
              E_NOINTERFACE);
    EXPECT_EQ(wrong, nullptr);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPixmend, reinterpret_cast<void**>(&control)), S_OK);
    factory->Release();
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "a live control";
    control->Release();
    EXPECT_EQ(dll.canUnloadNow(), S_OK);
}

// A controlling unknown that forwards other interfaces to the inner object.
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (riid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner != nullptr ? inner->QueryInterface(riid, out) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
    IUnknown* inner = nullptr;
};

TEST_F(ComTest, Aggregation) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(dll.getClassObject(CLSID_Pixmend, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    Outer outer;
    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IPixmend, reinterpret_cast<void**>(&object)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    factory->Release();
    EXPECT_EQ(outer.refs, 1u) << "creation must not hold the outer object";

    IPixmend* control = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IPixmend, reinterpret_cast<void**>(&control)), S_OK);
    EXPECT_EQ(outer.refs, 2u) << "the inner object's faces count on the outer object";
    IUnknown* identity = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    control->Release();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE);
    outer.inner->Release();
    EXPECT_EQ(dll.canUnloadNow(), S_OK);
}

TEST_F(ComTest, ObjectSafety) {
    IPixmend* control = dll.Create();
    ASSERT_NE(control, nullptr);
    IObjectSafety* safety = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
    const DWORD caller = INTERFACESAFE_FOR_UNTRUSTED_CALLER, data = INTERFACESAFE_FOR_UNTRUSTED_DATA;
    // Steps in order: {interface, mask, options, Set's result, enabled after}.
    const struct {
        const IID* iid;
        DWORD mask, options;
        HRESULT set;
        DWORD enabled;
    } steps[] = {
        {&IID_IDispatch, caller, caller, S_OK, caller},
        {&IID_IPixmend, caller | data, caller | data, E_FAIL, caller},
        {&IID_IPixmend, data, 0, E_FAIL, caller},
        {&IID_IClassFactory, caller, 0, E_NOINTERFACE, caller},
        {&IID_IPixmend, caller, 0, S_OK, 0},
        {&IID_IPixmend, 0, caller, S_OK, 0},
    };
    DWORD supported = 0, enabled = 1;
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, caller);
    EXPECT_EQ(enabled, 0u);
    for (const auto& s : steps) {
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(*s.iid, s.mask, s.options), s.set);
        ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IPixmend, &supported, &enabled), S_OK);
        EXPECT_EQ(enabled, s.enabled);
    }
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled),
              E_NOINTERFACE);
    safety->Release();
    control->Release();
}

}  // namespace

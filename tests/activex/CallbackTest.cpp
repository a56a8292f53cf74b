// The page's callbacks from a C++ client: references held, and how the
// function is called (IDispatchEx only when the object really has it).
#include <dispex.h>

#include <functional>
#include <thread>

#include "tests/activex/PixmendDll.h"

namespace {

// A script function or object on the test's stack: counts references
// instead of deleting itself, and records how it was called.
class FakeFunction : public IDispatchEx {
public:
    explicit FakeFunction(bool extended) : extended_(extended) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        const bool ok = riid == IID_IUnknown || riid == IID_IDispatch ||
                        (extended_ && riid == IID_IDispatchEx);
        *out = ok ? this : nullptr;
        if (ok) AddRef();
        return ok ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override {
        if (--refs == 0 && inCall) freedDuringCall = true;
        return refs;
    }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT*,
                        EXCEPINFO*, UINT*) override {
        ++invokes;
        return Called(id, lcid, flags, params);
    }
    STDMETHODIMP InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                          IServiceProvider*) override {
        ++invokeExes;
        return Called(id, lcid, flags, params);
    }
    STDMETHODIMP GetDispID(BSTR, DWORD, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    STDMETHODIMP GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

    ULONG refs = 1;  // the test's own
    int invokes = 0, invokeExes = 0;
    bool shapeOk = false;  // DISPID_VALUE, method, user locale, one VT_DISPATCH
    IDispatch* argument = nullptr;
    std::function<void()> during;
    bool inCall = false, freedDuringCall = false;

private:
    HRESULT Called(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params) {
        shapeOk = id == DISPID_VALUE && flags == DISPATCH_METHOD && lcid == LOCALE_USER_DEFAULT &&
                  params->cArgs == 1 && params->cNamedArgs == 0 &&
                  V_VT(&params->rgvarg[0]) == VT_DISPATCH;
        argument = shapeOk ? V_DISPATCH(&params->rgvarg[0]) : nullptr;
        inCall = true;
        if (during) during();
        inCall = false;
        return E_FAIL;  // a failing page function changes nothing
    }
    bool extended_;
};

// Both kinds of script object: with and without IDispatchEx.
class CallbackTest : public ComTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CallbackTest, ReferencesAndCalls) {
    const bool ex = GetParam();
    IPixmend* control = dll.Create();
    ASSERT_NE(control, nullptr);
    FakeFunction complete(ex), error(ex), argument(ex);

    EXPECT_EQ(control->FireComplete(), S_OK) << "nothing stored: nothing happens";
    ASSERT_EQ(control->put_OnComplete(&complete), S_OK);
    ASSERT_EQ(control->put_OnComplete(&complete), S_OK);
    EXPECT_EQ(complete.refs, 2u) << "set twice, held once";
    ASSERT_EQ(control->put_OnError(&error), S_OK);
    ASSERT_EQ(control->put_Object(&argument), S_OK);
    EXPECT_EQ(argument.refs, 2u);

    EXPECT_EQ(control->FireError(), S_OK);
    EXPECT_TRUE(error.shapeOk);
    EXPECT_EQ(error.argument, static_cast<IDispatch*>(&argument));
    // InvokeEx through a plain IDispatch would read past its v-table.
    EXPECT_EQ(error.invokeExes, ex ? 1 : 0);
    EXPECT_EQ(error.invokes, ex ? 0 : 1);
    EXPECT_EQ(complete.invokes + complete.invokeExes, 0);

    // A function that clears itself and the argument, with the page holding
    // no reference of its own, lives to the end of its call.
    complete.Release();
    argument.Release();
    complete.during = [&] {
        control->put_OnComplete(nullptr);
        control->put_Object(nullptr);
        EXPECT_EQ(argument.refs, 1u) << "the argument outlives the call";
    };
    EXPECT_EQ(control->FireComplete(), S_OK);
    EXPECT_TRUE(complete.shapeOk);
    EXPECT_FALSE(complete.freedDuringCall);
    EXPECT_EQ(complete.refs, 0u) << "null releases";
    EXPECT_EQ(argument.refs, 0u);

    control->Release();
    EXPECT_EQ(error.refs, 1u) << "the control's end releases what it held";
}

// A caller in the multithreaded apartment: the call's own apartment entry
// fails there (RPC_E_CHANGED_MODE) and must not be undone, or the caller's
// COM would end with it.
TEST_F(ComTest, CallerApartmentSurvivesTheCall) {
    HRESULT apartmentAfter = E_FAIL;
    APTTYPE type = APTTYPE_STA;
    std::thread caller([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IPixmend* control = dll.Create();
        if (control != nullptr) {
            FakeFunction complete(true);
            control->put_OnComplete(&complete);
            control->FireComplete();
            control->Release();
        }
        APTTYPEQUALIFIER qualifier;
        apartmentAfter = CoGetApartmentType(&type, &qualifier);
        CoUninitialize();
    });
    caller.join();
    EXPECT_EQ(apartmentAfter, S_OK);
    EXPECT_EQ(type, APTTYPE_MTA);
}

// Script may hand over null BSTRs for any text: they are the empty text.
TEST_F(ComTest, NullTextIsEmptyText) {
    IPixmend* control = dll.Create();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->put_PostUrl(nullptr), S_OK);
    EXPECT_EQ(control->put_FileFieldName(nullptr), S_OK);
    EXPECT_EQ(control->put_ImageType(nullptr), S_OK);
    EXPECT_EQ(control->AddField(nullptr, nullptr), S_OK);
    EXPECT_EQ(control->get_Response(nullptr), E_POINTER);
    BSTR response = nullptr;
    ASSERT_EQ(control->get_Response(&response), S_OK);
    ASSERT_NE(response, nullptr) << "an empty response is a zero-length BSTR, not null";
    EXPECT_EQ(SysStringLen(response), 0u);
    SysFreeString(response);
    control->Release();
}

INSTANTIATE_TEST_SUITE_P(ScriptObjects, CallbackTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "DispatchEx" : "PlainDispatch";
                         });

}  // namespace

// The page's callbacks as a C++ client sees them: references held, and how
// the function is called (IDispatchEx only when the object has it).
#include <dispex.h>

#include <functional>

#include "tests/activex/PixmendDll.h"

namespace {

// A script function or object. Lives on the test's stack; counts its
// references instead of deleting itself.
class FakeFunction : public IDispatchEx {
public:
    explicit FakeFunction(bool extended) : extended_(extended) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || (extended_ && riid == IID_IDispatchEx)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
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
    bool callShapeOk = false;  // DISPID_VALUE, method, user locale, one VT_DISPATCH
    IDispatch* argument = reinterpret_cast<IDispatch*>(1);
    std::function<void()> during;
    bool inCall = false, freedDuringCall = false;

private:
    HRESULT Called(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params) {
        callShapeOk = id == DISPID_VALUE && flags == DISPATCH_METHOD &&
                      lcid == LOCALE_USER_DEFAULT && params != nullptr && params->cArgs == 1 &&
                      params->cNamedArgs == 0 && V_VT(&params->rgvarg[0]) == VT_DISPATCH;
        if (callShapeOk) argument = V_DISPATCH(&params->rgvarg[0]);
        inCall = true;
        if (during) during();
        inCall = false;
        return E_FAIL;  // a failing page function changes nothing
    }
    bool extended_;
};

IDispatchEx* AsParameter(FakeFunction& f) { return &f; }

// Both kinds of script object: with and without IDispatchEx.
class CallbackTest : public ComTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CallbackTest, OneReferenceAndTheRightCall) {
    IPixmend* control = dll.Create();
    ASSERT_NE(control, nullptr);
    FakeFunction complete(GetParam()), error(GetParam()), argument(GetParam());

    EXPECT_EQ(control->FireComplete(), S_OK) << "nothing stored: nothing happens";
    ASSERT_EQ(control->put_OnComplete(AsParameter(complete)), S_OK);
    ASSERT_EQ(control->put_OnComplete(AsParameter(complete)), S_OK);
    EXPECT_EQ(complete.refs, 2u) << "set twice, held once";
    ASSERT_EQ(control->put_OnError(AsParameter(error)), S_OK);

    EXPECT_EQ(control->FireComplete(), S_OK);
    EXPECT_TRUE(complete.callShapeOk);
    EXPECT_EQ(complete.argument, nullptr) << "no Object yet: a null dispatch";
    EXPECT_EQ(error.invokes + error.invokeExes, 0);

    ASSERT_EQ(control->put_Object(AsParameter(argument)), S_OK);
    EXPECT_EQ(argument.refs, 2u);
    EXPECT_EQ(control->FireError(), S_OK);
    EXPECT_TRUE(error.callShapeOk);
    EXPECT_EQ(error.argument, static_cast<IDispatch*>(&argument));
    // InvokeEx through a plain IDispatch would read past its v-table.
    EXPECT_EQ(error.invokeExes, GetParam() ? 1 : 0);
    EXPECT_EQ(error.invokes, GetParam() ? 0 : 1);

    ASSERT_EQ(control->put_OnComplete(nullptr), S_OK);
    EXPECT_EQ(complete.refs, 1u) << "null releases";
    EXPECT_EQ(control->FireComplete(), S_OK);
    EXPECT_EQ(complete.invokes + complete.invokeExes, 1);

    control->Release();
    EXPECT_EQ(error.refs, 1u) << "the control's end releases what it held";
    EXPECT_EQ(argument.refs, 1u);
}

TEST_P(CallbackTest, FunctionThatClearsItselfStaysAliveForItsCall) {
    IPixmend* control = dll.Create();
    ASSERT_NE(control, nullptr);
    FakeFunction complete(GetParam()), argument(GetParam());
    ASSERT_EQ(control->put_OnComplete(AsParameter(complete)), S_OK);
    ASSERT_EQ(control->put_Object(AsParameter(argument)), S_OK);
    complete.Release();  // the page keeps no reference of its own
    argument.Release();
    complete.during = [&] {
        control->put_OnComplete(nullptr);
        control->put_Object(nullptr);
        EXPECT_EQ(argument.refs, 1u) << "the argument outlives the call";
    };
    EXPECT_EQ(control->FireComplete(), S_OK);
    EXPECT_FALSE(complete.freedDuringCall);
    EXPECT_EQ(complete.refs, 0u);
    EXPECT_EQ(argument.refs, 0u);
    control->Release();
}

INSTANTIATE_TEST_SUITE_P(ScriptObjects, CallbackTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "DispatchEx" : "PlainDispatch";
                         });

}  // namespace

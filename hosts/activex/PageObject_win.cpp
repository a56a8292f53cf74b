#include "hosts/activex/PageObject_win.h"

void PageObject::Set(IDispatch* value) {
    if (value == given_) return;
    IDispatch* held = nullptr;
    bool extended = false;
    if (value != nullptr) {
        IDispatchEx* ex = nullptr;
        if (SUCCEEDED(value->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&ex))) &&
            ex != nullptr) {
            held = ex;
            extended = true;
        } else {
            value->AddRef();
            held = value;
        }
    }
    IDispatch* old = held_;
    given_ = value;
    held_ = held;
    extended_ = extended;
    // Released last: the old object's destructor may call back into script.
    if (old != nullptr) old->Release();
}

IDispatch* PageObject::Get() const {
    if (held_ != nullptr) held_->AddRef();
    return held_;
}

void PageObject::Call(IDispatch* argument) const {
    IDispatch* function = Get();
    if (function == nullptr) return;
    const bool extended = extended_;
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_DISPATCH;
    V_DISPATCH(&arg) = argument;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    if (extended) {
        static_cast<IDispatchEx*>(function)->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT,
                                                       DISPATCH_METHOD, &params, &result, nullptr,
                                                       nullptr);
    } else {
        function->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                         &result, nullptr, nullptr);
    }
    VariantClear(&result);
    function->Release();
}

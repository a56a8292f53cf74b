#pragma once
// A script object the page handed to the control: the callback argument
// ("Object") or one of the page's functions ("OnComplete", "OnError").
//
// Automation hands over the script's IDispatch even where the interface says
// IDispatchEx, so the extended interface is asked for when the value is set
// and used only when the object really has it. Exactly one reference is held
// per stored object.
#include <windows.h>
#include <ole2.h>
#include <dispex.h>

class PageObject {
public:
    PageObject() = default;
    ~PageObject() { Set(nullptr); }
    PageObject(const PageObject&) = delete;
    PageObject& operator=(const PageObject&) = delete;

    // The same pointer again changes nothing; null clears.
    void Set(IDispatch* value);
    // The stored object with a reference for the caller, or null.
    IDispatch* Get() const;

    // Calls the stored function with one argument (a VT_DISPATCH, null
    // allowed) as DISPID_VALUE, DISPATCH_METHOD, in the user's locale. The
    // function's result and failure are ignored; the function stays alive for
    // the whole call even if the page replaces it meanwhile. Nothing happens
    // when none is stored.
    void Call(IDispatch* argument) const;

private:
    IDispatch* given_ = nullptr;   // what script passed; compared, not owned
    IDispatch* held_ = nullptr;    // one reference: the IDispatchEx face when
                                   // the object has one, else given_
    bool extended_ = false;
};

// CoInitializeEx for the current thread, undone only if it succeeded: a
// thread already in another apartment keeps its COM.
class ApartmentScope {
public:
    ApartmentScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ApartmentScope() {
        if (initialised_) CoUninitialize();
    }
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;

private:
    bool initialised_;
};

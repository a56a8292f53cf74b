#include "hosts/activex/PixmendControl_win.h"

#include <new>

#include "hosts/activex/ComModule_win.h"

CPixmend::CPixmend(IUnknown* outer)
    : inner_(*this), outer_(outer != nullptr ? outer : &inner_), editor_(*this) {
    extent_.cx = extent_.cy = kDefaultExtent;
    g_module.Lock();
}

CPixmend::~CPixmend() {
    // A container that released the control without deactivating it leaves
    // the window behind; it must not outlive the object it routes to.
    if (window_ != nullptr) DestroyWindow(window_);
    RevokeCallbackEntry();
    for (IUnknown* held : {static_cast<IUnknown*>(inPlaceSite_), static_cast<IUnknown*>(frame_),
                           static_cast<IUnknown*>(document_), static_cast<IUnknown*>(clientSite_),
                           site_, static_cast<IUnknown*>(adviseHolder_),
                           static_cast<IUnknown*>(viewSink_)})
        if (held != nullptr) held->Release();
    g_module.Unlock();
}

HRESULT CPixmend::CreateInstance(IUnknown* outer, REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    CPixmend* control = new (std::nothrow) CPixmend(outer);
    if (control == nullptr) return E_OUTOFMEMORY;
    // The inner reference keeps the control alive through the query; a
    // failed query drops it and so destroys the control.
    control->inner_.AddRef();
    const HRESULT hr = control->inner_.QueryInterface(riid, out);
    control->inner_.Release();
    return hr;
}

// ---- IUnknown ----

STDMETHODIMP CPixmend::QueryInterface(REFIID riid, void** out) { return outer_->QueryInterface(riid, out); }
STDMETHODIMP_(ULONG) CPixmend::AddRef() { return outer_->AddRef(); }
STDMETHODIMP_(ULONG) CPixmend::Release() { return outer_->Release(); }

STDMETHODIMP CPixmend::Inner::QueryInterface(REFIID riid, void** out) {
    return owner_.InnerQueryInterface(riid, out);
}
STDMETHODIMP_(ULONG) CPixmend::Inner::AddRef() { return ULONG(InterlockedIncrement(&owner_.refs_)); }
STDMETHODIMP_(ULONG) CPixmend::Inner::Release() {
    const LONG left = InterlockedDecrement(&owner_.refs_);
    if (left == 0) owner_.FinalRelease();
    return ULONG(left);
}

HRESULT CPixmend::InnerQueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown) *out = static_cast<IUnknown*>(&inner_);
    else if (riid == IID_IPixmend || riid == IID_IDispatch) *out = static_cast<IPixmend*>(this);
    else if (riid == IID_IViewObjectEx || riid == IID_IViewObject2 || riid == IID_IViewObject)
        *out = static_cast<IViewObjectEx*>(this);
    else if (riid == IID_IOleInPlaceObjectWindowless || riid == IID_IOleInPlaceObject ||
             riid == IID_IOleWindow)
        *out = static_cast<IOleInPlaceObjectWindowless*>(this);
    else if (riid == IID_IOleInPlaceActiveObject) *out = static_cast<IOleInPlaceActiveObject*>(this);
    else if (riid == IID_IOleControl) *out = static_cast<IOleControl*>(this);
    else if (riid == IID_IOleObject) *out = static_cast<IOleObject*>(this);
    else if (riid == IID_IPersistStreamInit || riid == IID_IPersist)
        *out = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_IObjectWithSite) *out = static_cast<IObjectWithSite*>(this);
    else if (riid == IID_IObjectSafety) *out = static_cast<IObjectSafety*>(this);
    else return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
}

// ---- IDispatch ----

STDMETHODIMP CPixmend::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP CPixmend::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return g_module.GetPixmendTypeInfo(out);
}

STDMETHODIMP CPixmend::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                     DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    HRESULT hr = g_module.GetPixmendTypeInfo(&info);
    if (FAILED(hr)) return hr;
    hr = DispGetIDsOfNames(info, names, count, ids);
    info->Release();
    return hr;
}

STDMETHODIMP CPixmend::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (PageObject* member = NullWrite(id, flags, params)) {
        member->Set(nullptr);
        return S_OK;
    }
    ITypeInfo* info = nullptr;
    HRESULT hr = g_module.GetPixmendTypeInfo(&info);
    if (FAILED(hr)) return hr;
    hr = info->Invoke(static_cast<IPixmend*>(this), id, flags, params, result, exception, argError);
    info->Release();
    return hr;
}

// Script writes null as VT_NULL (and undefined as VT_EMPTY), which the type
// library's argument conversion refuses for an interface pointer; "null
// clears the member" must hold for the page's own null too.
PageObject* CPixmend::NullWrite(DISPID id, WORD flags, const DISPPARAMS* params) {
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) == 0 || params == nullptr ||
        params->cArgs != 1)
        return nullptr;
    const VARTYPE type = V_VT(&params->rgvarg[0]);
    if (type != VT_NULL && type != VT_EMPTY) return nullptr;
    switch (id) {
    case kDispidObject: return &callbackArgument_;
    case kDispidOnComplete: return &onComplete_;
    case kDispidOnError: return &onError_;
    default: return nullptr;
    }
}

// ---- IPixmend: colours and callbacks ----

void CPixmend::StockPropertyChanged() {
    dirty_ = true;
    ViewChanged();
}

namespace {

HRESULT ReadColor(OLE_COLOR value, OLE_COLOR* out) {
    if (out == nullptr) return E_POINTER;
    *out = value;
    return S_OK;
}

}  // namespace

HRESULT CPixmend::WriteColor(OLE_COLOR& member, OLE_COLOR value) {
    member = value;
    StockPropertyChanged();
    return S_OK;
}

STDMETHODIMP CPixmend::put_BackColor(OLE_COLOR clr) { return WriteColor(backColor_, clr); }
STDMETHODIMP CPixmend::get_BackColor(OLE_COLOR* pclr) { return ReadColor(backColor_, pclr); }
STDMETHODIMP CPixmend::put_FillColor(OLE_COLOR clr) { return WriteColor(fillColor_, clr); }
STDMETHODIMP CPixmend::get_FillColor(OLE_COLOR* pclr) { return ReadColor(fillColor_, pclr); }

STDMETHODIMP CPixmend::put_Object(IDispatchEx* newVal) {
    callbackArgument_.Set(newVal);
    return S_OK;
}

STDMETHODIMP CPixmend::put_OnComplete(IDispatchEx* newVal) {
    onComplete_.Set(newVal);
    return S_OK;
}

STDMETHODIMP CPixmend::put_OnError(IDispatchEx* newVal) {
    onError_.Set(newVal);
    return S_OK;
}

void CPixmend::CallPageFunction(const PageObject& function) {
    ApartmentScope apartment;
    // The page may clear "Object" or this function from inside the call, or
    // drop its last reference to the control: keep all three alive.
    AddRef();
    IDispatch* argument = callbackArgument_.Get();
    function.Call(argument);
    if (argument != nullptr) argument->Release();
    Release();
}

STDMETHODIMP CPixmend::FireComplete() {
    Fire(onComplete_);
    return S_OK;
}

STDMETHODIMP CPixmend::FireError() {
    Fire(onError_);
    return S_OK;
}

void CPixmend::CallPage(UploadOutcome outcome) {
    ++pageCalls_;
    CallPageFunction(outcome == UploadOutcome::Complete ? onComplete_ : onError_);
}

// ---- IObjectSafety ----

STDMETHODIMP CPixmend::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) {
    if (supported == nullptr || enabled == nullptr) return E_POINTER;
    *supported = *enabled = 0;
    IUnknown* face = nullptr;
    if (FAILED(InnerQueryInterface(riid, reinterpret_cast<void**>(&face)))) return E_NOINTERFACE;
    face->Release();
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
    *enabled = safety_;
    return S_OK;
}

STDMETHODIMP CPixmend::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD options) {
    IUnknown* face = nullptr;
    if (FAILED(InnerQueryInterface(riid, reinterpret_cast<void**>(&face)))) return E_NOINTERFACE;
    face->Release();
    if ((mask & ~DWORD(INTERFACESAFE_FOR_UNTRUSTED_CALLER)) != 0) return E_FAIL;
    safety_ = (safety_ & ~mask) | (options & mask);
    return S_OK;
}

// CPixmend as an OLE object: the client site, verbs, in-place activation
// with the control's own window, and the in-place object interfaces.
//
// The window exists from in-place activation to deactivation. The editor is
// attached to it when it is created and detached when it is destroyed (which
// revokes the drop target); the editor's controls are built at the first
// activation only and reused by every later one.
#include <olectl.h>

#include "hosts/activex/ComModule_win.h"
#include "hosts/activex/ModuleWindowClass_win.h"
#include "hosts/activex/PixmendControl_win.h"

namespace {

const DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                          OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;


template <class T>
void ReleaseAndClear(T*& pointer) {
    if (pointer != nullptr) {
        T* old = pointer;
        pointer = nullptr;
        old->Release();
    }
}

}  // namespace

// ---- The window ----

LRESULT CALLBACK CPixmend::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    CPixmend* control = reinterpret_cast<CPixmend*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (control == nullptr || control->window_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
    return control->OnMessage(msg, wp, lp);
}

LRESULT CPixmend::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETFOCUS:
        return 0;  // focus alone does not UI-activate the control
    case WM_DESTROY:
        editor_.DetachWindow();  // revokes the drop target
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        window_ = nullptr;
        return 0;
    default: {
        LRESULT result = 0;
        if (editor_.HandleMessage(msg, wp, lp, result)) return result;
        return DefWindowProcW(window_, msg, wp, lp);
    }
    }
}

// ---- Activation ----

HRESULT CPixmend::InPlaceActivate(LONG verb, IOleClientSite* site, HWND parent, LPCRECT pos) {
    if (site == nullptr) site = clientSite_;
    if (site == nullptr) return E_UNEXPECTED;
    if (inPlaceSite_ == nullptr) {
        IOleInPlaceSite* inPlace = nullptr;
        if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace))))
            return E_NOINTERFACE;
        if (inPlace->CanInPlaceActivate() != S_OK) {
            inPlace->Release();
            return E_FAIL;
        }
        inPlaceSite_ = inPlace;
        inPlaceSite_->OnInPlaceActivate();
    }
    if (window_ == nullptr) {
        HWND container = nullptr;
        if (FAILED(inPlaceSite_->GetWindow(&container)) || container == nullptr) container = parent;
        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* document = nullptr;
        RECT position{0, 0, 0, 0}, clip{0, 0, 0, 0};
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof info;
        inPlaceSite_->GetWindowContext(&frame, &document, &position, &clip, &info);
        if (frame != nullptr) frame->Release();
        if (document != nullptr) document->Release();
        if (pos != nullptr && IsRectEmpty(&position)) position = *pos;
        static ModuleWindowClass windowClass(L"Pixmend", &CPixmend::WindowProc,
                                             CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS,
                                             reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        const wchar_t* className = windowClass.Name();
        if (className == nullptr || container == nullptr) return E_FAIL;
        window_ = CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                  position.left, position.top, position.right - position.left,
                                  position.bottom - position.top, container, nullptr,
                                  g_module.Instance(), this);
        if (window_ == nullptr) return E_FAIL;
        // Attaching registers the drop target and builds the controls once.
        editor_.AttachWindow(window_);
    }
    ShowWindow(window_, SW_SHOW);
    if (verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_PRIMARY || verb == OLEIVERB_SHOW)
        return UIActivate();
    return S_OK;
}

HRESULT CPixmend::UIActivate() {
    if (uiActive_ || inPlaceSite_ == nullptr) return S_OK;
    uiActive_ = true;
    inPlaceSite_->OnUIActivate();
    RECT position, clip;
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    if (SUCCEEDED(inPlaceSite_->GetWindowContext(&frame_, &document_, &position, &clip, &info))) {
        IOleInPlaceActiveObject* active = static_cast<IOleInPlaceActiveObject*>(this);
        if (frame_ != nullptr) frame_->SetActiveObject(active, nullptr);
        if (document_ != nullptr) document_->SetActiveObject(active, nullptr);
    }
    if (window_ != nullptr) SetFocus(window_);
    return S_OK;
}

STDMETHODIMP CPixmend::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (frame_ != nullptr) frame_->SetActiveObject(nullptr, nullptr);
    if (document_ != nullptr) document_->SetActiveObject(nullptr, nullptr);
    ReleaseAndClear(frame_);
    ReleaseAndClear(document_);
    if (inPlaceSite_ != nullptr) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP CPixmend::InPlaceDeactivate() {
    if (inPlaceSite_ == nullptr) return S_OK;
    AddRef();  // the site may drop its reference from inside its notifications
    UIDeactivate();
    if (window_ != nullptr) DestroyWindow(window_);
    RevokeCallbackEntry();
    IOleInPlaceSite* site = inPlaceSite_;
    inPlaceSite_ = nullptr;
    site->OnInPlaceDeactivate();
    site->Release();
    Release();
    return S_OK;
}

// ---- IOleObject ----

STDMETHODIMP CPixmend::SetClientSite(IOleClientSite* site) {
    if (site == nullptr) RevokeCallbackEntry();
    if (site != nullptr) site->AddRef();
    ReleaseAndClear(clientSite_);
    clientSite_ = site;
    return S_OK;
}

STDMETHODIMP CPixmend::GetClientSite(IOleClientSite** site) {
    if (site == nullptr) return E_POINTER;
    *site = clientSite_;
    if (clientSite_ != nullptr) clientSite_->AddRef();
    return S_OK;
}

STDMETHODIMP CPixmend::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP CPixmend::Close(DWORD saveOption) {
    AddRef();
    InPlaceDeactivate();
    if (dirty_ && clientSite_ != nullptr &&
        (saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE))
        clientSite_->SaveObject();
    RevokeCallbackEntry();
    if (adviseHolder_ != nullptr) adviseHolder_->SendOnClose();
    Release();
    return S_OK;
}

STDMETHODIMP CPixmend::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP CPixmend::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CPixmend::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CPixmend::GetClipboardData(DWORD, IDataObject** data) {
    if (data != nullptr) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CPixmend::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                              LPCRECT pos) {
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(verb, site, parent, pos);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (window_ != nullptr) ShowWindow(window_, SW_HIDE);
        return S_OK;
    case OLEIVERB_OPEN:
    case OLEIVERB_DISCARDUNDOSTATE:
        return E_NOTIMPL;
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

STDMETHODIMP CPixmend::EnumVerbs(IEnumOLEVERB** verbs) { return OleRegEnumVerbs(CLSID_Pixmend, verbs); }

STDMETHODIMP CPixmend::Update() { return S_OK; }

STDMETHODIMP CPixmend::IsUpToDate() { return S_OK; }

STDMETHODIMP CPixmend::GetUserClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_Pixmend;
    return S_OK;
}

STDMETHODIMP CPixmend::GetUserType(DWORD form, LPOLESTR* type) {
    return OleRegGetUserType(CLSID_Pixmend, form, type);
}

STDMETHODIMP CPixmend::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (size == nullptr) return E_POINTER;
    if (size->cx != extent_.cx || size->cy != extent_.cy) dirty_ = true;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP CPixmend::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    if (size == nullptr) return E_POINTER;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP CPixmend::Advise(IAdviseSink* sink, DWORD* connection) {
    if (adviseHolder_ == nullptr && FAILED(CreateOleAdviseHolder(&adviseHolder_))) return E_OUTOFMEMORY;
    return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP CPixmend::Unadvise(DWORD connection) {
    if (adviseHolder_ == nullptr) return OLE_E_NOCONNECTION;
    return adviseHolder_->Unadvise(connection);
}

STDMETHODIMP CPixmend::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise == nullptr) return E_POINTER;
    *advise = nullptr;
    if (adviseHolder_ == nullptr) return E_FAIL;
    return adviseHolder_->EnumAdvise(advise);
}

STDMETHODIMP CPixmend::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (status == nullptr) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
    return S_OK;
}

STDMETHODIMP CPixmend::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleWindow, IOleInPlaceObject(Windowless), IOleInPlaceActiveObject ----

STDMETHODIMP CPixmend::GetWindow(HWND* window) {
    if (window == nullptr) return E_POINTER;
    *window = window_;
    return window_ != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP CPixmend::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP CPixmend::SetObjectRects(LPCRECT pos, LPCRECT) {
    if (pos == nullptr) return E_POINTER;
    if (window_ != nullptr)
        SetWindowPos(window_, nullptr, pos->left, pos->top, pos->right - pos->left,
                     pos->bottom - pos->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

STDMETHODIMP CPixmend::ReactivateAndUndo() { return E_NOTIMPL; }

// Always windowed: messages reach the control through its own window.
STDMETHODIMP CPixmend::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) { return S_FALSE; }

STDMETHODIMP CPixmend::GetDropTarget(IDropTarget** target) {
    if (target != nullptr) *target = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CPixmend::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP CPixmend::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CPixmend::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CPixmend::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP CPixmend::EnableModeless(BOOL) { return S_OK; }

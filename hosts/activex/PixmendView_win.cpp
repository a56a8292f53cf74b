// CPixmend's view, persistence, control and site interfaces: drawing into
// any device context through the editor's double-buffered paint, the stream
// of the extent and the two stock colours, and the container notifications
// of a colour change.
#include <olectl.h>

#include "hosts/activex/PixmendControl_win.h"

namespace {

// The persisted stream, little-endian, 24 bytes:
//   uint32 version   kStreamVersion
//   uint32 _cx       extent width, HIMETRIC
//   uint32 _cy       extent height, HIMETRIC
//   uint16 vt        VT_UI4
//   uint32 BackColor OLE_COLOR
//   uint16 vt        VT_UI4
//   uint32 FillColor OLE_COLOR
// Editor settings are never persisted.
const uint32_t kStreamVersion = 0x0100;
const ULONG kStreamSize = 4 + 4 + 4 + 2 + 4 + 2 + 4;

void PutU32(BYTE*& at, uint32_t value) {
    for (int i = 0; i < 4; ++i) *at++ = BYTE(value >> (8 * i));
}
void PutU16(BYTE*& at, uint16_t value) {
    *at++ = BYTE(value);
    *at++ = BYTE(value >> 8);
}
uint32_t GetU32(const BYTE*& at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t(*at++) << (8 * i);
    return value;
}
uint16_t GetU16(const BYTE*& at) {
    const uint16_t value = uint16_t(at[0] | (at[1] << 8));
    at += 2;
    return value;
}

}  // namespace

void CPixmend::ViewChanged() {
    if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
    else if (viewSink_ != nullptr) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

// ---- IViewObject / IViewObject2 / IViewObjectEx ----

STDMETHODIMP CPixmend::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                            LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                            ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_OPAQUE) return DV_E_DVASPECT;
    if (dc == nullptr) return E_INVALIDARG;
    RECT area{0, 0, 0, 0};
    if (bounds != nullptr) {
        area = RECT{bounds->left, bounds->top, bounds->right, bounds->bottom};
    } else if (window_ == nullptr || !GetClientRect(window_, &area)) {
        return E_INVALIDARG;  // nothing says how large to draw
    }
    editor_.PaintTo(dc, area);
    return S_OK;
}

STDMETHODIMP CPixmend::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors != nullptr) *colors = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CPixmend::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CPixmend::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP CPixmend::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    if (sink != nullptr) sink->AddRef();
    if (viewSink_ != nullptr) viewSink_->Release();
    viewSink_ = sink;
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

STDMETHODIMP CPixmend::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects != nullptr) *aspects = viewAspects_;
    if (flags != nullptr) *flags = viewFlags_;
    if (sink != nullptr) {
        *sink = viewSink_;
        if (viewSink_ != nullptr) viewSink_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP CPixmend::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

STDMETHODIMP CPixmend::GetRect(DWORD, LPRECTL) { return E_NOTIMPL; }

STDMETHODIMP CPixmend::GetViewStatus(DWORD* status) {
    if (status == nullptr) return E_POINTER;
    *status = VIEWSTATUS_SOLIDBKGND | VIEWSTATUS_OPAQUE;
    return S_OK;
}

STDMETHODIMP CPixmend::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point, LONG, DWORD* result) {
    if (result == nullptr || bounds == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    *result = PtInRect(bounds, point) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

STDMETHODIMP CPixmend::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT rect, LONG, DWORD* result) {
    if (result == nullptr || bounds == nullptr || rect == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    RECT both;
    *result = IntersectRect(&both, bounds, rect) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

STDMETHODIMP CPixmend::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) {
    return E_NOTIMPL;
}

// ---- IPersistStreamInit ----

STDMETHODIMP CPixmend::GetClassID(CLSID* clsid) { return GetUserClassID(clsid); }

STDMETHODIMP CPixmend::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP CPixmend::Load(LPSTREAM stream) {
    if (stream == nullptr) return E_POINTER;
    BYTE bytes[kStreamSize];
    ULONG read = 0;
    const HRESULT hr = stream->Read(bytes, kStreamSize, &read);
    if (FAILED(hr)) return hr;
    if (read != kStreamSize) return STG_E_READFAULT;
    const BYTE* at = bytes;
    if (GetU32(at) != kStreamVersion) return E_FAIL;
    SIZEL extent;
    extent.cx = LONG(GetU32(at));
    extent.cy = LONG(GetU32(at));
    OLE_COLOR colors[2];
    for (OLE_COLOR& color : colors) {
        if (GetU16(at) != VT_UI4) return E_FAIL;
        color = GetU32(at);
    }
    // Nothing changes until the whole stream has been read and checked.
    extent_ = extent;
    backColor_ = colors[0];
    fillColor_ = colors[1];
    dirty_ = false;
    ViewChanged();
    return S_OK;
}

STDMETHODIMP CPixmend::Save(LPSTREAM stream, BOOL clearDirty) {
    if (stream == nullptr) return E_POINTER;
    BYTE bytes[kStreamSize];
    BYTE* at = bytes;
    PutU32(at, kStreamVersion);
    PutU32(at, uint32_t(extent_.cx));
    PutU32(at, uint32_t(extent_.cy));
    for (OLE_COLOR color : {backColor_, fillColor_}) {
        PutU16(at, VT_UI4);
        PutU32(at, color);
    }
    ULONG written = 0;
    const HRESULT hr = stream->Write(bytes, kStreamSize, &written);
    if (FAILED(hr)) return hr;
    if (written != kStreamSize) return STG_E_WRITEFAULT;
    if (clearDirty) dirty_ = false;
    return S_OK;
}

STDMETHODIMP CPixmend::GetSizeMax(ULARGE_INTEGER* size) {
    if (size == nullptr) return E_POINTER;
    size->QuadPart = kStreamSize;
    return S_OK;
}

STDMETHODIMP CPixmend::InitNew() {
    extent_.cx = extent_.cy = kDefaultExtent;
    backColor_ = fillColor_ = 0;
    dirty_ = false;
    return S_OK;
}

// ---- IOleControl ----

STDMETHODIMP CPixmend::GetControlInfo(CONTROLINFO* info) {
    if (info == nullptr) return E_POINTER;
    return E_NOTIMPL;  // no mnemonics
}

STDMETHODIMP CPixmend::OnMnemonic(MSG*) { return E_NOTIMPL; }

STDMETHODIMP CPixmend::OnAmbientPropertyChange(DISPID) { return S_OK; }

STDMETHODIMP CPixmend::FreezeEvents(BOOL freeze) {
    freezeCount_ += freeze ? 1 : (freezeCount_ > 0 ? -1 : 0);
    return S_OK;
}

// ---- IObjectWithSite ----

STDMETHODIMP CPixmend::SetSite(IUnknown* site) {
    if (site != nullptr) site->AddRef();
    if (site_ != nullptr) site_->Release();
    site_ = site;
    return S_OK;
}

STDMETHODIMP CPixmend::GetSite(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (site_ == nullptr) return E_FAIL;
    return site_->QueryInterface(riid, out);
}

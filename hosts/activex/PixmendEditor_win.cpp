// CPixmend's members that configure or command the editor, kept together:
// script text arrives as BSTRs (null meaning the empty text) and goes on to
// the editor's settings unchanged.
#include "hosts/activex/PixmendControl_win.h"

#include "support/Convert.h"

namespace {

PxString Text(BSTR text) { return text == nullptr ? PxString() : PxString(text, SysStringLen(text)); }

HRESULT NewBstr(const PxString& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = SysAllocStringLen(text.data(), UINT(text.size()));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

}  // namespace

STDMETHODIMP CPixmend::AddField(BSTR name, BSTR field) {
    settings_.fields.Set(Text(name), Text(field));
    return S_OK;
}

STDMETHODIMP CPixmend::ClearFields() {
    settings_.fields.Clear();
    return S_OK;
}

STDMETHODIMP CPixmend::OpenFile(BSTR newVal) {
    (void)newVal;
    return E_NOTIMPL;  // the open dialog belongs to the editor window
}

STDMETHODIMP CPixmend::put_PostUrl(BSTR newVal) {
    settings_.postUrl = Text(newVal);
    return S_OK;
}

STDMETHODIMP CPixmend::put_FileFieldName(BSTR newVal) {
    settings_.fileFieldName = Text(newVal);
    return S_OK;
}

STDMETHODIMP CPixmend::put_ImageType(BSTR newVal) {
    PxString type = Text(newVal);
    ToLower(type);
    settings_.imageType = type;
    return S_OK;
}

STDMETHODIMP CPixmend::put_JpgQuality(LONG newVal) {
    settings_.jpegQuality = int(newVal);
    settings_.jpegQualitySet = true;
    return S_OK;
}

STDMETHODIMP CPixmend::put_ClipWidth(LONG newVal) {
    settings_.clipWidth = int32_t(newVal);
    return S_OK;
}

STDMETHODIMP CPixmend::put_ClipHeight(LONG newVal) {
    settings_.clipHeight = int32_t(newVal);
    return S_OK;
}

STDMETHODIMP CPixmend::get_Version(BSTR* pVal) { return NewBstr(kEditorVersion, pVal); }

STDMETHODIMP CPixmend::get_Response(BSTR* pVal) { return NewBstr(settings_.response, pVal); }

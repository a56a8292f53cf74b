// CPixmend's members that configure or command the editor, kept together:
// script text arrives as BSTRs (null meaning the empty text) and goes on to
// the editor unchanged.
#include "hosts/activex/PixmendControl_win.h"

namespace {

PxString Text(BSTR text) { return text == nullptr ? PxString() : PxString(text, SysStringLen(text)); }

HRESULT NewBstr(const PxString& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = SysAllocStringLen(text.data(), UINT(text.size()));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

}  // namespace

STDMETHODIMP CPixmend::AddField(BSTR name, BSTR field) {
    editor_.AddField(Text(name), Text(field));
    return S_OK;
}

STDMETHODIMP CPixmend::ClearFields() {
    editor_.ClearFields();
    return S_OK;
}

STDMETHODIMP CPixmend::OpenFile(BSTR newVal) {
    editor_.ShowOpenDialog(Text(newVal));
    return S_OK;
}

STDMETHODIMP CPixmend::put_PostUrl(BSTR newVal) {
    editor_.SetPostUrl(Text(newVal));
    return S_OK;
}

STDMETHODIMP CPixmend::put_FileFieldName(BSTR newVal) {
    editor_.SetFileFieldName(Text(newVal));
    return S_OK;
}

STDMETHODIMP CPixmend::put_ImageType(BSTR newVal) {
    editor_.SetImageType(Text(newVal));
    return S_OK;
}

STDMETHODIMP CPixmend::put_JpgQuality(LONG newVal) {
    editor_.SetJpegQuality(int(newVal));
    return S_OK;
}

STDMETHODIMP CPixmend::put_ClipWidth(LONG newVal) {
    editor_.SetClipWidth(int(newVal));
    return S_OK;
}

STDMETHODIMP CPixmend::put_ClipHeight(LONG newVal) {
    editor_.SetClipHeight(int(newVal));
    return S_OK;
}

STDMETHODIMP CPixmend::get_Version(BSTR* pVal) { return NewBstr(kEditorVersion, pVal); }

STDMETHODIMP CPixmend::get_Response(BSTR* pVal) { return NewBstr(editor_.GetResponse(), pVal); }

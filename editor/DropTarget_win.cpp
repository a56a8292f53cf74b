#include "editor/DropTarget.h"

#include <shellapi.h>

#include "editor/EditorInput.h"

namespace {

FORMATETC FileListFormat() {
    FORMATETC format{};
    format.cfFormat = CF_HDROP;
    format.ptd = nullptr;
    format.dwAspect = DVASPECT_CONTENT;
    format.lindex = -1;
    format.tymed = TYMED_HGLOBAL;
    return format;
}

}  // namespace

CIDropTargetImpl::CIDropTargetImpl() : refs_(1), accepting_(true), allowed_(false) {}

CIDropTargetImpl::~CIDropTargetImpl() = default;

HRESULT STDMETHODCALLTYPE CIDropTargetImpl::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CIDropTargetImpl::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE CIDropTargetImpl::Release() {
    // Never deletes: the editor owns this object.
    const LONG left = InterlockedDecrement(&refs_);
    return left > 0 ? static_cast<ULONG>(left) : 0;
}

HRESULT STDMETHODCALLTYPE CIDropTargetImpl::DragEnter(IDataObject* data, DWORD keys, POINTL,
                                                      DWORD* effect) {
    if (effect == nullptr) return E_INVALIDARG;
    if (!accepting_) {
        allowed_ = false;
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    FORMATETC format = FileListFormat();
    allowed_ = data != nullptr && data->QueryGetData(&format) == S_OK;
    *effect = ChooseDragEffect(allowed_, keys, *effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CIDropTargetImpl::DragOver(DWORD keys, POINTL, DWORD* effect) {
    if (effect == nullptr) return E_INVALIDARG;
    *effect = ChooseDragEffect(allowed_, keys, *effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CIDropTargetImpl::DragLeave() { return S_OK; }

HRESULT STDMETHODCALLTYPE CIDropTargetImpl::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    const DWORD permitted = effect != nullptr ? *effect : DROPEFFECT_NONE;
    if (effect != nullptr) *effect = DROPEFFECT_NONE;
    if (!allowed_ || data == nullptr) return S_FALSE;
    allowed_ = false;  // the drag is over
    FORMATETC format = FileListFormat();
    STGMEDIUM medium{};
    if (SUCCEEDED(data->GetData(&format, &medium))) {
        if (effect != nullptr) *effect = ChooseDropEffect(true, permitted);
        // The shell's functions take the memory handle itself, locked or
        // not; the lock keeps a moveable block in place meanwhile.
        if (GlobalLock(medium.hGlobal) != nullptr) {
            OpenDroppedFile(static_cast<HDROP>(medium.hGlobal));
            GlobalUnlock(medium.hGlobal);
        }
        ReleaseStgMedium(&medium);
        return S_OK;
    }
    FORMATETC bitmap{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
    if (SUCCEEDED(data->GetData(&bitmap, &medium))) {
        OpenDroppedBitmap(medium.hBitmap);
        ReleaseStgMedium(&medium);
    }
    return S_OK;
}

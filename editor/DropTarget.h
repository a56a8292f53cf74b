#pragma once
// CIDropTargetImpl: the OLE drop target of the editor window. It accepts
// file lists (CF_HDROP in global memory) and hands the drop handle to
// OpenDroppedFile; anything else gets no drop effect.
//
// Lifetime: the object is part of the editor that derives from it. Its
// reference count only answers COM's bookkeeping; reaching zero never
// deletes it, so a stray Release from a drag source cannot free the editor.
// The editor revokes the registration before it goes away.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

class CIDropTargetImpl : public IDropTarget {
public:
    CIDropTargetImpl();
    virtual ~CIDropTargetImpl();
    CIDropTargetImpl(const CIDropTargetImpl&) = delete;
    CIDropTargetImpl& operator=(const CIDropTargetImpl&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    // Reports DROPEFFECT_COPY for an accepted drop, never MOVE: a shell
    // source would delete the original file after an unoptimised move.
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                   DWORD* effect) override;

    // When false every drag is refused.
    void SetAccepting(bool accepting) { accepting_ = accepting; }
    ULONG RefCount() const { return static_cast<ULONG>(refs_); }

protected:
    // The drop handle is valid for this call only.
    virtual void OpenDroppedFile(HDROP drop) = 0;
    // A dropped bitmap; the editor ignores it.
    virtual void OpenDroppedBitmap(HBITMAP bitmap) { (void)bitmap; }

private:
    LONG refs_;
    bool accepting_;
    bool allowed_;  // result of the last DragEnter check
};

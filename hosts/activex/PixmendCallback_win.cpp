// CPixmend's callback delivery across threads. At OK the control registers
// its IPixmend in the process's global interface table; when the upload ends
// the worker takes a proxy from there and calls FireComplete or FireError
// through it, so the editor's finish and the page's function run on the
// control's own thread while the worker waits.
//
// The table's entry holds a reference to the control. It is revoked at the
// next OK, and also when the control closes, loses its client site or is
// deactivated in place, so a control that served one upload can still be
// freed; a worker that then finds no entry delivers nothing through COM and
// leaves the finish to the editor's own window message.
#include "hosts/activex/PixmendControl_win.h"

namespace {

// The process's global interface table with a reference, or null.
IGlobalInterfaceTable* OpenInterfaceTable() {
    IGlobalInterfaceTable* table = nullptr;
    if (FAILED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table))))
        return nullptr;
    return table;
}

}  // namespace

void CPixmend::RevokeCallbackEntry() {
    const DWORD cookie = callbackCookie_.exchange(0);
    if (callbackTable_ != nullptr) {
        if (cookie != 0) callbackTable_->RevokeInterfaceFromGlobal(cookie);
        callbackTable_->Release();
        callbackTable_ = nullptr;
    }
}

void CPixmend::WaitForDelivery() {
    // The previous worker may still be releasing its proxy, which is a call
    // into this thread; the editor is about to join that worker with a wait
    // that answers no COM calls. CoWaitForMultipleHandles does answer them.
    if (delivering_.load() == 0 || deliveryIdle_ == nullptr) return;
    DWORD index = 0;
    CoWaitForMultipleHandles(0, INFINITE, 1, &deliveryIdle_, &index);
}

void CPixmend::UploadStarting() {
    WaitForDelivery();
    RevokeCallbackEntry();
    IGlobalInterfaceTable* table = OpenInterfaceTable();
    if (table == nullptr) return;  // this upload's finish goes by window message
    DWORD cookie = 0;
    if (FAILED(table->RegisterInterfaceInGlobal(static_cast<IPixmend*>(this), IID_IPixmend,
                                                &cookie))) {
        table->Release();
        return;
    }
    callbackTable_ = table;
    callbackCookie_ = cookie;
}

// Upload thread. The editor (and so this control) stays alive while it runs:
// the editor's teardown waits for the worker's event calls.
bool CPixmend::ScheduleFinish(Editor& editor) {
    if (++delivering_ == 1) ResetEvent(deliveryIdle_);
    bool delivered = false;
    if (const DWORD cookie = callbackCookie_.load()) {
        ApartmentScope apartment;
        if (IGlobalInterfaceTable* table = OpenInterfaceTable()) {
            IPixmend* proxy = nullptr;
            if (SUCCEEDED(table->GetInterfaceFromGlobal(cookie, IID_IPixmend,
                                                        reinterpret_cast<void**>(&proxy))) &&
                proxy != nullptr) {
                const HRESULT hr = editor.PendingOutcome() == UploadOutcome::Complete
                                       ? proxy->FireComplete()
                                       : proxy->FireError();
                delivered = SUCCEEDED(hr);
                proxy->Release();
            }
            table->Release();
        }
    }
    if (--delivering_ == 0) SetEvent(deliveryIdle_);
    return delivered;
}

void CPixmend::Fire(const PageObject& function) {
    // The worker's delivery arrives as FireComplete / FireError: finish the
    // upload, which calls the page itself. A page calling these methods with
    // no finish pending gets its function called directly.
    const unsigned before = pageCalls_;
    AddRef();  // the page may release the control from inside its function
    editor_.FinishUpload();
    if (pageCalls_ == before) CallPageFunction(function);
    Release();
}

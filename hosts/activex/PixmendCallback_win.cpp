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
#include "hosts/activex/ComModule_win.h"
#include "hosts/activex/ModuleWindowClass_win.h"
#include "hosts/activex/PixmendControl_win.h"

namespace {

// Posted to the message-only window: delete the control in lParam.
const UINT kDeferredDelete = WM_APP + 1;

// The process's global interface table with a reference, or null.
IGlobalInterfaceTable* OpenInterfaceTable() {
    IGlobalInterfaceTable* table = nullptr;
    if (FAILED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table))))
        return nullptr;
    return table;
}

}  // namespace

CPixmend::Delivery::Delivery() : idle(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {
    InitializeCriticalSection(&lock);
}

CPixmend::Delivery::~Delivery() {
    if (messageWindow != nullptr) DestroyWindow(messageWindow);
    if (idle != nullptr) CloseHandle(idle);
    DeleteCriticalSection(&lock);
}

void CPixmend::FinalRelease() {
    EnterCriticalSection(&delivery_.lock);
    const bool defer = delivery_.inside > 0 && delivery_.messageWindow != nullptr;
    delivery_.deleteDeferred = defer;
    LeaveCriticalSection(&delivery_.lock);
    if (!defer) delete this;
}

LRESULT CALLBACK CPixmend::MessageWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kDeferredDelete) {
        delete reinterpret_cast<CPixmend*>(lp);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void CPixmend::RevokeCallbackEntry() {
    const DWORD cookie = delivery_.cookie.exchange(0);
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
    EnterCriticalSection(&delivery_.lock);
    const bool idle = delivery_.inside == 0;
    LeaveCriticalSection(&delivery_.lock);
    if (idle || delivery_.idle == nullptr) return;
    DWORD index = 0;
    CoWaitForMultipleHandles(0, INFINITE, 1, &delivery_.idle, &index);
}

void CPixmend::UploadStarting() {
    WaitForDelivery();
    RevokeCallbackEntry();
    if (delivery_.messageWindow == nullptr) {
        static ModuleWindowClass messageClass(L"PixmendMessages", &CPixmend::MessageWindowProc, 0,
                                              nullptr);
        if (const wchar_t* name = messageClass.Name())
            delivery_.messageWindow = CreateWindowW(name, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                    g_module.Instance(), nullptr);
    }
    IGlobalInterfaceTable* table = OpenInterfaceTable();
    if (table == nullptr) return;  // this upload's finish goes by window message
    DWORD cookie = 0;
    if (FAILED(table->RegisterInterfaceInGlobal(static_cast<IPixmend*>(this), IID_IPixmend,
                                                &cookie))) {
        table->Release();
        return;
    }
    callbackTable_ = table;
    delivery_.cookie = cookie;
}

// Upload thread. The editor (and so this control) stays alive until it
// returns: the editor's teardown waits for the worker's event calls, and a
// last release meanwhile is deferred until the worker is out.
bool CPixmend::ScheduleFinish(Editor& editor) {
    EnterCriticalSection(&delivery_.lock);
    if (++delivery_.inside == 1) ResetEvent(delivery_.idle);
    LeaveCriticalSection(&delivery_.lock);
    bool delivered = false;
    if (const DWORD cookie = delivery_.cookie.load()) {
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
    EnterCriticalSection(&delivery_.lock);
    const bool last = --delivery_.inside == 0;
    if (last) SetEvent(delivery_.idle);
    const bool deleteNow = last && delivery_.deleteDeferred;
    LeaveCriticalSection(&delivery_.lock);
    if (deleteNow)
        PostMessageW(delivery_.messageWindow, kDeferredDelete, 0, reinterpret_cast<LPARAM>(this));
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

#include "support/Threading.h"

#include <windows.h>
#include <objbase.h>
#include <process.h>

namespace Corvane {
namespace Threading {
namespace {

bool InSingleThreadedApartment() {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
}

// Waits until handle is signalled or timeoutMs (INFINITE allowed) has passed,
// answering messages sent to this thread meanwhile; posted messages stay in
// the queue. In a single-threaded apartment COM's own wait does this and also
// lets calls marshalled to this thread through. True when signalled.
bool WaitDispatchingFor(HANDLE handle, DWORD timeoutMs) {
    if (InSingleThreadedApartment()) {
        DWORD index = 0;
        return CoWaitForMultipleHandles(0, timeoutMs, 1, &handle, &index) == S_OK;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            const DWORD spent = GetTickCount() - start;
            left = spent >= timeoutMs ? 0 : timeoutMs - spent;
        }
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &handle, left, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return false;
        MSG msg;  // PeekMessage delivers every message sent to this thread
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

struct CriticalSection::Impl {
    CRITICAL_SECTION section;
};

CriticalSection::CriticalSection() : impl_(new Impl) { InitializeCriticalSection(&impl_->section); }
CriticalSection::~CriticalSection() { DeleteCriticalSection(&impl_->section); }
void CriticalSection::Enter() { EnterCriticalSection(&impl_->section); }
void CriticalSection::Leave() { LeaveCriticalSection(&impl_->section); }

struct EventHandler::Impl {
    HANDLE event = nullptr;
};

EventHandler::EventHandler() : impl_(new Impl) {
    impl_->event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

EventHandler::~EventHandler() {
    if (impl_->event) CloseHandle(impl_->event);
}

void EventHandler::Set() {
    if (impl_->event) SetEvent(impl_->event);
}

void EventHandler::Reset() {
    if (impl_->event) ResetEvent(impl_->event);
}

void EventHandler::Wait() {
    if (impl_->event) WaitForSingleObject(impl_->event, INFINITE);
}

bool EventHandler::Wait(uint32_t timeoutMs) {
    return impl_->event && WaitForSingleObject(impl_->event, timeoutMs) == WAIT_OBJECT_0;
}

bool EventHandler::WaitDispatching(uint32_t timeoutMs) {
    return impl_->event && WaitDispatchingFor(impl_->event, timeoutMs);
}

struct WorkerThread::Impl {
    HANDLE thread = nullptr;
    unsigned threadId = 0;
};

namespace {

unsigned __stdcall RunBody(void* argument) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return 0;
}

}  // namespace

WorkerThread::WorkerThread() : impl_(new Impl) {}
WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> body) {
    Join();
    auto* argument = new std::function<void()>(std::move(body));
    // Created suspended: the body may ask IsCurrent at once, so the handle
    // and id are stored before it runs.
    const uintptr_t handle =
        _beginthreadex(nullptr, 0, RunBody, argument, CREATE_SUSPENDED, &impl_->threadId);
    if (handle == 0) {
        delete argument;
        impl_->threadId = 0;
        return false;
    }
    impl_->thread = reinterpret_cast<HANDLE>(handle);
    ResumeThread(impl_->thread);
    return true;
}

void WorkerThread::Join() {
    if (!impl_->thread) return;
    if (GetCurrentThreadId() != impl_->threadId) WaitDispatchingFor(impl_->thread, INFINITE);
    CloseHandle(impl_->thread);
    impl_->thread = nullptr;
    impl_->threadId = 0;
}

bool WorkerThread::IsRunning() const {
    return impl_->thread && WaitForSingleObject(impl_->thread, 0) == WAIT_TIMEOUT;
}

bool WorkerThread::IsCurrent() const {
    return impl_->thread && GetCurrentThreadId() == impl_->threadId;
}

uint32_t TickCount() { return GetTickCount(); }

}  // namespace Threading
}  // namespace Corvane

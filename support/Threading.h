#pragma once
// Thin wrappers over the operating system's lock, event and thread objects
// (Windows: CRITICAL_SECTION, an unnamed event, a C runtime thread; the native
// build uses the C++ library). None of them is copyable.
#include <cstdint>
#include <functional>
#include <memory>

namespace Corvane {
namespace Threading {

class CriticalSection {
public:
    CriticalSection();
    virtual ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter();
    void Leave();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Enter on construction, Leave on destruction.
class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& lock) : lock_(lock) { lock_.Enter(); }
    ~ScopedLock() { lock_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& lock_;
};

// Unnamed auto-reset event, created not signalled: a successful wait consumes
// the signal. The destructor closes the event.
class EventHandler {
public:
    EventHandler();
    virtual ~EventHandler();
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;

    void Set();
    void Reset();
    // Waits without a time limit.
    void Wait();
    // Waits at most timeoutMs milliseconds; true when the event was signalled.
    bool Wait(uint32_t timeoutMs);
    // As Wait(timeoutMs), but a window thread keeps answering what other
    // threads send it meanwhile (see WorkerThread::Join).
    bool WaitDispatching(uint32_t timeoutMs);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// One worker thread at a time. Join waits for it and releases its handle; the
// destructor joins, so a WorkerThread never outlives the thread it started.
//
// The wait of Join keeps dispatching messages that other threads send to the
// joining thread (and, on a thread in a single-threaded COM apartment, the
// calls COM delivers to it), but no posted message. A worker that is inside
// SendMessage to the joining thread's window therefore finishes instead of
// waiting for a thread that waits for it.
class WorkerThread {
public:
    WorkerThread();
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts body on a new thread after joining any previous one. False when
    // the thread could not be created (body is then not run).
    bool Start(std::function<void()> body);
    // Called on the worker itself, releases the handle without waiting.
    void Join();
    // True while the thread started last has not ended; never blocks.
    bool IsRunning() const;
    // True when called on the thread this object started.
    bool IsCurrent() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Milliseconds of a monotonic clock, wrapping at 2^32 like GetTickCount.
uint32_t TickCount();

}  // namespace Threading
}  // namespace Corvane

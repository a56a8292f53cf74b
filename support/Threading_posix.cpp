#include "support/Threading.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace Corvane {
namespace Threading {

struct CriticalSection::Impl {
    std::recursive_mutex mutex;  // a Windows critical section is re-entrant
};

CriticalSection::CriticalSection() : impl_(new Impl) {}
CriticalSection::~CriticalSection() = default;
void CriticalSection::Enter() { impl_->mutex.lock(); }
void CriticalSection::Leave() { impl_->mutex.unlock(); }

struct EventHandler::Impl {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
};

EventHandler::EventHandler() : impl_(new Impl) {}
EventHandler::~EventHandler() = default;

void EventHandler::Set() {
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->signalled = true;
    impl_->changed.notify_one();
}

void EventHandler::Reset() {
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->signalled = false;
}

void EventHandler::Wait() {
    std::unique_lock<std::mutex> hold(impl_->mutex);
    impl_->changed.wait(hold, [this] { return impl_->signalled; });
    impl_->signalled = false;
}

bool EventHandler::WaitDispatching(uint32_t timeoutMs) { return Wait(timeoutMs); }

bool EventHandler::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> hold(impl_->mutex);
    if (!impl_->changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                 [this] { return impl_->signalled; })) {
        return false;
    }
    impl_->signalled = false;
    return true;
}

struct WorkerThread::Impl {
    std::thread thread;
    // The running worker's id, published by the worker itself before its
    // body runs: the body may ask IsCurrent before Start has stored `thread`.
    std::atomic<std::thread::id> id{};
    std::shared_ptr<std::atomic<bool>> running;  // shared with the thread, which clears it last
};

WorkerThread::WorkerThread() : impl_(new Impl) {}
WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> body) {
    Join();
    Impl* impl = impl_.get();
    auto running = std::make_shared<std::atomic<bool>>(true);
    try {
        impl_->thread = std::thread([impl, running, body = std::move(body)] {
            impl->id = std::this_thread::get_id();
            body();
            *running = false;
        });
    } catch (...) {
        return false;
    }
    impl_->running = running;
    return true;
}

void WorkerThread::Join() {
    if (!impl_->thread.joinable()) return;
    if (IsCurrent()) {
        impl_->thread.detach();  // the worker is ending itself
    } else {
        impl_->thread.join();
    }
    impl_->id = std::thread::id();
}

bool WorkerThread::IsRunning() const {
    return impl_->thread.joinable() && impl_->running && *impl_->running;
}

bool WorkerThread::IsCurrent() const { return impl_->id.load() == std::this_thread::get_id(); }

uint32_t TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace Threading
}  // namespace Corvane

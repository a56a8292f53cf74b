#pragma once
// The lock behind LocalLockPolicy: recursive, because a slot running under a
// signal's lock may connect or disconnect on that same signal.
#include <mutex>

namespace Corvane {
namespace Signals {
namespace detail {

class RecursiveLock {
public:
    RecursiveLock() = default;
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

}  // namespace detail
}  // namespace Signals
}  // namespace Corvane

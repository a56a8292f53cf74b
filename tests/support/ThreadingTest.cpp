// CriticalSection, EventHandler and WorkerThread across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/Threading.h"

using namespace Corvane::Threading;

namespace {

TEST(CriticalSection, SerialisesTwoThreadsAndIsReentrant) {
    CriticalSection lock;
    long counter = 0;  // deliberately not atomic: only the lock protects it
    auto work = [&] {
        for (int i = 0; i < 100000; ++i) {
            ScopedLock hold(lock);
            ScopedLock again(lock);
            ++counter;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 200000);
}

TEST(EventHandler, IsAutoResetAndStartsNotSignalled) {
    EventHandler event;
    EXPECT_FALSE(event.Wait(0u));
    event.Set();
    EXPECT_TRUE(event.Wait(0u));
    EXPECT_FALSE(event.Wait(0u));  // the wait consumed the signal
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.Wait(10u));
}

TEST(EventHandler, WakesAWaiterOnAnotherThread) {
    EventHandler ready, go;
    std::atomic<bool> woke(false);
    std::thread waiter([&] {
        ready.Set();
        go.Wait();
        woke = true;
    });
    ASSERT_TRUE(ready.Wait(5000u));
    EXPECT_FALSE(woke.load());
    go.Set();
    waiter.join();
    EXPECT_TRUE(woke.load());
}

TEST(EventHandler, TimedWaitReturnsAfterTheTimeout) {
    EventHandler event;
    const uint32_t start = TickCount();
    EXPECT_FALSE(event.Wait(120u));
    EXPECT_GE(TickCount() - start, 100u);  // timer granularity allowance
}

TEST(WorkerThread, RunsTheBodyOnItsOwnThreadAndJoinsBeforeRestart) {
    WorkerThread worker;
    std::atomic<int> runs(0);
    std::atomic<bool> onWorker(false);
    ASSERT_TRUE(worker.Start([&] {
        onWorker = worker.IsCurrent();
        ++runs;
    }));
    ASSERT_TRUE(worker.Start([&] { ++runs; }));  // joins the first run
    worker.Join();
    worker.Join();  // a second join is harmless
    EXPECT_EQ(runs.load(), 2);
    EXPECT_TRUE(onWorker.load());
    EXPECT_FALSE(worker.IsCurrent());
}

TEST(WorkerThread, IsRunningAnswersAtOnceWhileTheBodyRunsAndNotAfter) {
    WorkerThread worker;
    EventHandler release, entered;
    EXPECT_FALSE(worker.IsRunning());
    ASSERT_TRUE(worker.Start([&] {
        entered.Set();
        release.Wait();
    }));
    ASSERT_TRUE(entered.Wait(5000u));
    EXPECT_TRUE(worker.IsRunning());  // would hang here if it waited for the body
    release.Set();
    for (int i = 0; i < 500 && worker.IsRunning(); ++i) EXPECT_FALSE(entered.Wait(10u));
    EXPECT_FALSE(worker.IsRunning());
    worker.Join();
    EXPECT_FALSE(worker.IsRunning());
}

}  // namespace

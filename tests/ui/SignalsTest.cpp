#include "ui/Signals.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

using Corvane::Signals::Signal0;
using Corvane::Signals::SlotOwner;

namespace {

// Shared call log so that tests can check the order across receivers.
struct Log {
    std::string text;
};

class Receiver : public SlotOwner {
public:
    Receiver(Log* log, char tag) : log_(log), tag_(tag) {}
    void OnA() { log_->text += tag_; }
    void OnB() { log_->text += static_cast<char>(tag_ - 'a' + 'A'); }
    void OnDisconnectSelf() {
        log_->text += tag_;
        if (signal) signal->Disconnect(this);
    }
    void OnDisconnectOther() {
        log_->text += tag_;
        if (signal && other) signal->Disconnect(other);
    }
    void OnDeleteOther() {
        log_->text += tag_;
        victim.reset();
    }
    void OnConnectOther() {
        log_->text += tag_;
        if (signal && other) signal->Connect(other, &Receiver::OnA);
    }

    Signal0* signal = nullptr;
    Receiver* other = nullptr;
    std::unique_ptr<Receiver> victim;

private:
    Log* log_;
    char tag_;
};

}  // namespace

TEST(Signal0Emission, CallsConnectionsInConnectionOrder) {
    Log log;
    Receiver a(&log, 'a'), b(&log, 'b');
    Signal0 signal;
    signal.Connect(&b, &Receiver::OnA);
    signal.Connect(&a, &Receiver::OnA);
    signal.Connect(&b, &Receiver::OnB);
    signal.Emit();
    EXPECT_EQ(log.text, "baB");
    signal();
    EXPECT_EQ(log.text, "baBbaB");
}

TEST(Signal0Emission, WithoutConnectionsDoesNothing) {
    Signal0 signal;
    signal.Emit();
    EXPECT_EQ(signal.ConnectionCount(), 0u);
}

TEST(Signal0Disconnect, RemovesEveryConnectionOfThatReceiverOnly) {
    Log log;
    Receiver a(&log, 'a'), b(&log, 'b');
    Signal0 signal;
    signal.Connect(&a, &Receiver::OnA);
    signal.Connect(&b, &Receiver::OnA);
    signal.Connect(&a, &Receiver::OnB);
    EXPECT_EQ(a.SenderCount(), 1u);
    signal.Disconnect(&a);
    EXPECT_EQ(a.SenderCount(), 0u);
    EXPECT_EQ(b.SenderCount(), 1u);
    signal.Emit();
    EXPECT_EQ(log.text, "b");
    signal.Disconnect(nullptr);  // harmless
    signal.Disconnect(&a);       // already gone: harmless
    EXPECT_EQ(signal.ConnectionCount(), 1u);
}

TEST(Signal0DuringEmission, SlotMayDisconnectItself) {
    Log log;
    Receiver a(&log, 'a'), b(&log, 'b');
    Signal0 signal;
    a.signal = &signal;
    signal.Connect(&a, &Receiver::OnDisconnectSelf);
    signal.Connect(&b, &Receiver::OnA);
    signal.Emit();
    EXPECT_EQ(log.text, "ab");
    signal.Emit();
    EXPECT_EQ(log.text, "abb");
    EXPECT_EQ(signal.ConnectionCount(), 1u);
    EXPECT_EQ(a.SenderCount(), 0u);
}

TEST(Signal0DuringEmission, SlotMayDisconnectTheNextReceiver) {
    // The next connection is the one a naive walker would already hold.
    Log log;
    Receiver a(&log, 'a'), b(&log, 'b'), c(&log, 'c');
    Signal0 signal;
    a.signal = &signal;
    a.other = &b;
    signal.Connect(&a, &Receiver::OnDisconnectOther);
    signal.Connect(&b, &Receiver::OnA);
    signal.Connect(&c, &Receiver::OnA);
    signal.Emit();
    EXPECT_EQ(log.text, "ac");
    EXPECT_EQ(signal.ConnectionCount(), 2u);
}

TEST(Signal0DuringEmission, SlotMayDestroyAnotherReceiver) {
    Log log;
    Receiver a(&log, 'a');
    a.victim = std::make_unique<Receiver>(&log, 'v');
    Signal0 signal;
    signal.Connect(&a, &Receiver::OnDeleteOther);
    signal.Connect(a.victim.get(), &Receiver::OnA);
    signal.Emit();
    EXPECT_EQ(log.text, "a");
    EXPECT_EQ(signal.ConnectionCount(), 1u);
}

TEST(Signal0DuringEmission, ConnectionsMadeBySlotsWaitForNextEmission) {
    Log log;
    Receiver a(&log, 'a'), b(&log, 'b');
    Signal0 signal;
    a.signal = &signal;
    a.other = &b;
    signal.Connect(&a, &Receiver::OnConnectOther);
    signal.Emit();
    EXPECT_EQ(log.text, "a");
    signal.Emit();
    EXPECT_EQ(log.text, "aab");
}

TEST(Signal0Lifetime, SignalDestroyedFirstLeavesReceiverClean) {
    Log log;
    Receiver a(&log, 'a');
    {
        Signal0 first, second;
        first.Connect(&a, &Receiver::OnA);
        second.Connect(&a, &Receiver::OnA);
        EXPECT_EQ(a.SenderCount(), 2u);
    }
    EXPECT_EQ(a.SenderCount(), 0u);
    // The receiver's destructor must not touch the dead signals (ASan).
}

TEST(Signal0Lifetime, ReceiverDestroyedFirstIsNoLongerCalled) {
    Log log;
    Signal0 signal;
    Receiver keep(&log, 'k');
    {
        Receiver gone(&log, 'g');
        signal.Connect(&gone, &Receiver::OnA);
        signal.Connect(&keep, &Receiver::OnA);
        signal.Connect(&gone, &Receiver::OnB);
    }
    EXPECT_EQ(signal.ConnectionCount(), 1u);
    signal.Emit();
    EXPECT_EQ(log.text, "k");
}

TEST(Signal0Lifetime, ReceiverDestroyingItselfDuringEmission) {
    Log log;
    Receiver owner(&log, 'o');
    owner.victim = std::make_unique<Receiver>(&log, 'v');
    Signal0 signal;
    signal.Connect(owner.victim.get(), &Receiver::OnA);
    signal.Connect(&owner, &Receiver::OnDeleteOther);
    signal.Connect(&owner, &Receiver::OnA);
    signal.Emit();
    EXPECT_EQ(log.text, "voo");
    signal.Emit();
    EXPECT_EQ(log.text, "voooo");
    EXPECT_FALSE(owner.victim);
}

TEST(Signal0Copy, CopiedSignalCallsTheSameReceivers) {
    Log log;
    Receiver a(&log, 'a');
    Signal0 original;
    original.Connect(&a, &Receiver::OnA);
    {
        Signal0 copy(original);
        EXPECT_EQ(a.SenderCount(), 2u);
        copy.Emit();
        EXPECT_EQ(log.text, "a");
    }
    EXPECT_EQ(a.SenderCount(), 1u);
    original.Emit();
    EXPECT_EQ(log.text, "aa");
}

TEST(Signal0Copy, CopiedReceiverIsConnectedLikeTheOriginal) {
    class Plain : public SlotOwner {
    public:
        explicit Plain(int* hits) : hits_(hits) {}
        void Hit() { ++*hits_; }

    private:
        int* hits_;
    };
    int hits = 0;
    Plain a(&hits);
    Signal0 signal;
    signal.Connect(&a, &Plain::Hit);
    {
        Plain copy(a);
        EXPECT_EQ(copy.SenderCount(), 1u);
        EXPECT_EQ(signal.ConnectionCount(), 2u);
        signal.Emit();
        EXPECT_EQ(hits, 2);
    }
    EXPECT_EQ(signal.ConnectionCount(), 1u);
    signal.Emit();
    EXPECT_EQ(hits, 3);
}

TEST(Signal0Threads, ConcurrentEmissionsCallEverySlotEveryTime) {
    class Counter : public SlotOwner {
    public:
        void Hit() { ++hits; }  // serialised by the signal's lock
        int hits = 0;
    };
    Counter counter;
    Signal0 signal;
    signal.Connect(&counter, &Counter::Hit);
    auto work = [&signal] {
        for (int i = 0; i < 1000; ++i) signal.Emit();
    };
    std::thread one(work), two(work);
    one.join();
    two.join();
    EXPECT_EQ(counter.hits, 2000);
}

#pragma once
// A small signal-and-slot mechanism: a Signal0 calls member functions without
// arguments on receiver objects derived from SlotOwner. A button's click
// reaches the editor this way.
//
// Lifetime: a signal and its receivers know each other. Destroying a signal
// drops it from every receiver; destroying a receiver drops every connection
// to it from every signal. Either may go first.
//
// Emission calls the connections in connection order. A slot may disconnect
// any receiver (itself included), connect new receivers (they are first
// called by the next emission) or destroy a receiver while the signal is
// emitting; connections removed during an emission are freed when the
// outermost emission ends. Destroying the emitting signal itself from one of
// its slots is not supported.
//
// Threads: every signal and every receiver owns a recursive lock. Emission,
// connection and disconnection hold the signal's lock; changes to a
// receiver's set of senders hold the receiver's lock.
#include <cstddef>
#include <list>
#include <set>
#include <vector>

#include "support/Threading.h"

namespace Corvane {
namespace Signals {

// Lock policy: each object that uses it owns one critical section (re-entrant,
// because a slot running under a signal's lock may connect or disconnect on
// that same signal).
class LocalLockPolicy {
public:
    LocalLockPolicy() = default;
    // A copy gets a lock of its own.
    LocalLockPolicy(const LocalLockPolicy&) {}
    LocalLockPolicy& operator=(const LocalLockPolicy&) { return *this; }
    virtual ~LocalLockPolicy() = default;
    virtual void Lock() { lock_.Enter(); }
    virtual void Unlock() { lock_.Leave(); }

private:
    Threading::CriticalSection lock_;
};

// Holds a policy's lock for one scope.
class LockBlock {
public:
    explicit LockBlock(LocalLockPolicy* policy) : policy_(policy) { policy_->Lock(); }
    ~LockBlock() { policy_->Unlock(); }
    LockBlock(const LockBlock&) = delete;
    LockBlock& operator=(const LockBlock&) = delete;

private:
    LocalLockPolicy* policy_;
};

class SlotOwner;

// What a receiver needs to know about a signal it is connected to.
class SignalBase : public LocalLockPolicy {
public:
    // Drops every connection to the receiver without telling the receiver
    // (it is the caller, usually from its destructor).
    virtual void SlotDisconnect(SlotOwner* receiver) = 0;
    // Gives newReceiver a copy of every connection that oldReceiver has.
    virtual void SlotDuplicate(const SlotOwner* oldReceiver, SlotOwner* newReceiver) = 0;
};

// Base of every receiver. Holds the set of signals connected to it.
class SlotOwner : public LocalLockPolicy {
public:
    SlotOwner() = default;
    // A copy is connected to every signal that the original is connected to.
    SlotOwner(const SlotOwner& other);
    SlotOwner& operator=(const SlotOwner&) = delete;
    // Tells every sender to drop its connections to this receiver.
    ~SlotOwner() override;

    // Bookkeeping called by signals; not for receivers' own use.
    void SignalConnect(SignalBase* sender);
    void SignalDisconnect(SignalBase* sender);
    // Disconnects this receiver from every signal.
    void DisconnectAll();
    std::size_t SenderCount();

private:
    std::set<SignalBase*> senders_;
};

// One connection of a signal without arguments.
class ConnectionBase0 {
public:
    virtual ~ConnectionBase0() = default;
    virtual SlotOwner* GetDest() const = 0;
    virtual void Emit() = 0;
    virtual ConnectionBase0* Clone() const = 0;
    virtual ConnectionBase0* Duplicate(SlotOwner* newDest) const = 0;
};

// A receiver object and one of its member functions. The receiver is kept as
// its SlotOwner base and turned back into a Dest only when called, because a
// duplicate is made while the copied receiver is still being constructed.
template <class Dest>
class Connection0 : public ConnectionBase0 {
public:
    typedef void (Dest::*Method)();
    Connection0(SlotOwner* dest, Method method) : dest_(dest), method_(method) {}
    SlotOwner* GetDest() const override { return dest_; }
    void Emit() override { (static_cast<Dest*>(dest_)->*method_)(); }
    ConnectionBase0* Clone() const override { return new Connection0(*this); }
    // newDest must be (or be becoming) a Dest: a copy of the old receiver.
    ConnectionBase0* Duplicate(SlotOwner* newDest) const override {
        return new Connection0(newDest, method_);
    }

private:
    SlotOwner* dest_;
    Method method_;
};

// Connection list and bookkeeping shared by signals without arguments.
class SignalBase0 : public SignalBase {
public:
    SignalBase0() = default;
    // A copy gets a clone of every connection, registered with the receivers.
    SignalBase0(const SignalBase0& other);
    SignalBase0& operator=(const SignalBase0&) = delete;
    // Disconnects every receiver and frees the connections.
    ~SignalBase0() override;

    void SlotDisconnect(SlotOwner* receiver) override;
    void SlotDuplicate(const SlotOwner* oldReceiver, SlotOwner* newReceiver) override;

    // Removes every connection to the receiver and this signal from its senders.
    void Disconnect(SlotOwner* receiver);
    void DisconnectAll();
    // Live connections (those not removed during an emission).
    std::size_t ConnectionCount();

protected:
    // Takes ownership of the connection and registers with its receiver.
    void Attach(ConnectionBase0* connection);
    void EmitAll();

private:
    // Removes the entries for receiver (all when null); returns them unowned.
    std::vector<ConnectionBase0*> Detach(SlotOwner* receiver);
    // Frees connections now, or after the outermost emission.
    void Retire(std::vector<ConnectionBase0*>& connections);
    void Sweep();

    // Null entries were removed during an emission and are swept afterwards.
    std::list<ConnectionBase0*> connections_;
    std::vector<ConnectionBase0*> retired_;
    int emitting_ = 0;
};

// A signal without arguments.
class Signal0 : public SignalBase0 {
public:
    template <class Dest>
    void Connect(Dest* receiver, void (Dest::*method)()) {
        Attach(new Connection0<Dest>(receiver, method));
    }
    void Emit() { EmitAll(); }
    void operator()() { EmitAll(); }
};

}  // namespace Signals
}  // namespace Corvane

#include "ui/Signals.h"

#include <algorithm>

// Lock order is always signal, then receiver: a signal may call into a
// receiver's bookkeeping while holding its own lock, never the reverse.

namespace Corvane {
namespace Signals {

// --- SlotOwner ---------------------------------------------------------------

SlotOwner::SlotOwner(const SlotOwner& other) : LocalLockPolicy(other) {
    std::set<SignalBase*> senders;
    {
        SlotOwner& source = const_cast<SlotOwner&>(other);
        LockBlock hold(&source);
        senders = source.senders_;
    }
    for (SignalBase* sender : senders) sender->SlotDuplicate(&other, this);
}

SlotOwner::~SlotOwner() { DisconnectAll(); }

void SlotOwner::SignalConnect(SignalBase* sender) {
    LockBlock hold(this);
    senders_.insert(sender);
}

void SlotOwner::SignalDisconnect(SignalBase* sender) {
    LockBlock hold(this);
    senders_.erase(sender);
}

void SlotOwner::DisconnectAll() {
    std::set<SignalBase*> senders;
    {
        LockBlock hold(this);
        senders.swap(senders_);
    }
    for (SignalBase* sender : senders) sender->SlotDisconnect(this);
}

std::size_t SlotOwner::SenderCount() {
    LockBlock hold(this);
    return senders_.size();
}

// --- SignalBase0 -------------------------------------------------------------

SignalBase0::SignalBase0(const SignalBase0& other) : SignalBase(other) {
    SignalBase0& source = const_cast<SignalBase0&>(other);
    LockBlock hold(&source);
    for (ConnectionBase0* connection : source.connections_) {
        if (connection == nullptr) continue;
        connections_.push_back(connection->Clone());
        connection->GetDest()->SignalConnect(this);
    }
}

SignalBase0::~SignalBase0() {
    DisconnectAll();
    for (ConnectionBase0* connection : retired_) delete connection;
}

void SignalBase0::Attach(ConnectionBase0* connection) {
    LockBlock hold(this);
    connections_.push_back(connection);
    connection->GetDest()->SignalConnect(this);
}

std::vector<ConnectionBase0*> SignalBase0::Detach(SlotOwner* receiver) {
    std::vector<ConnectionBase0*> removed;
    for (auto it = connections_.begin(); it != connections_.end();) {
        ConnectionBase0* connection = *it;
        if (connection == nullptr || (receiver != nullptr && connection->GetDest() != receiver)) {
            ++it;
            continue;
        }
        removed.push_back(connection);
        // An emission may be walking the list: blank the entry, keep the node.
        if (emitting_ > 0) {
            *it = nullptr;
            ++it;
        } else {
            it = connections_.erase(it);
        }
    }
    return removed;
}

void SignalBase0::Retire(std::vector<ConnectionBase0*>& connections) {
    if (emitting_ > 0) {
        retired_.insert(retired_.end(), connections.begin(), connections.end());
    } else {
        for (ConnectionBase0* connection : connections) delete connection;
    }
    connections.clear();
}

void SignalBase0::Sweep() {
    connections_.remove(nullptr);
    for (ConnectionBase0* connection : retired_) delete connection;
    retired_.clear();
}

void SignalBase0::SlotDisconnect(SlotOwner* receiver) {
    LockBlock hold(this);
    std::vector<ConnectionBase0*> removed = Detach(receiver);
    Retire(removed);
}

void SignalBase0::SlotDuplicate(const SlotOwner* oldReceiver, SlotOwner* newReceiver) {
    LockBlock hold(this);
    // Only the entries present now: the duplicates are appended behind them.
    std::size_t count = connections_.size();
    auto it = connections_.begin();
    for (std::size_t i = 0; i < count; ++i, ++it) {
        ConnectionBase0* connection = *it;
        if (connection == nullptr || connection->GetDest() != oldReceiver) continue;
        connections_.push_back(connection->Duplicate(newReceiver));
        newReceiver->SignalConnect(this);
    }
}

void SignalBase0::Disconnect(SlotOwner* receiver) {
    if (receiver == nullptr) return;
    LockBlock hold(this);
    std::vector<ConnectionBase0*> removed = Detach(receiver);
    if (!removed.empty()) receiver->SignalDisconnect(this);
    Retire(removed);
}

void SignalBase0::DisconnectAll() {
    LockBlock hold(this);
    std::vector<ConnectionBase0*> removed = Detach(nullptr);
    for (ConnectionBase0* connection : removed) connection->GetDest()->SignalDisconnect(this);
    Retire(removed);
}

std::size_t SignalBase0::ConnectionCount() {
    LockBlock hold(this);
    return static_cast<std::size_t>(
        std::count_if(connections_.begin(), connections_.end(),
                      [](const ConnectionBase0* c) { return c != nullptr; }));
}

void SignalBase0::EmitAll() {
    LockBlock hold(this);
    // Ends the emission even when a slot throws.
    struct EmissionScope {
        SignalBase0* signal;
        explicit EmissionScope(SignalBase0* s) : signal(s) { ++signal->emitting_; }
        ~EmissionScope() {
            if (--signal->emitting_ == 0) signal->Sweep();
        }
    } scope(this);
    // Connections added by a slot are appended behind this count and wait
    // for the next emission; removed ones are blanked, never unlinked here.
    std::size_t count = connections_.size();
    auto it = connections_.begin();
    for (std::size_t i = 0; i < count; ++i, ++it) {
        if (*it != nullptr) (*it)->Emit();
    }
}

}  // namespace Signals
}  // namespace Corvane

#pragma once
// Scripted transport and clock for driving HttpClient without sockets.
// Each Connect takes the next scripted connection; its replies are handed
// out piece by piece, and everything sent on it is recorded.
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "upload/http/HttpTransport.h"

namespace Corvane {
namespace Http {
namespace Testing {

class FakeClock : public HttpClock {
public:
    uint64_t NowMs() const override { return now; }
    uint64_t now = 1000;
};

struct ScriptedConnection {
    IoStatus connectResult = IoStatus::Ok;
    std::deque<std::string> replies;    // pieces returned by Receive, in order
    IoStatus afterReplies = IoStatus::Closed;  // once the pieces are used up
    bool endless = false;               // after the pieces, 'x' for ever
    uint64_t msPerReceive = 0;          // clock advance per Receive
    IoStatus sendResult = IoStatus::Ok;
    std::string sent;                   // everything the client sent
    std::vector<size_t> sendSizes;      // size of every Send call
    int receives = 0;                   // Receive calls
};

class FakeTransport : public HttpTransport {
public:
    explicit FakeTransport(FakeClock& clock) : clock_(clock) {}

    ScriptedConnection& Script() { return scripts_.emplace_back(); }

    IoStatus Connect(const std::string& host, uint16_t port, uint32_t) override {
        connects.push_back(host + ":" + std::to_string(port));
        if (next_ >= scripts_.size()) return IoStatus::Failed;
        current_ = &scripts_[next_++];
        open = current_->connectResult == IoStatus::Ok;
        return current_->connectResult;
    }
    IoStatus Send(const char* data, size_t size, uint32_t) override {
        if (!open) return IoStatus::Failed;
        if (current_->sendResult != IoStatus::Ok) return current_->sendResult;
        current_->sent.append(data, size);
        current_->sendSizes.push_back(size);
        return IoStatus::Ok;
    }
    IoStatus Receive(char* buffer, size_t capacity, size_t& received, uint32_t) override {
        received = 0;
        if (!open) return IoStatus::Failed;
        clock_.now += current_->msPerReceive;
        ++current_->receives;
        auto& pieces = current_->replies;
        if (pieces.empty()) {
            if (!current_->endless) return current_->afterReplies;
            std::memset(buffer, 'x', capacity);
            received = capacity;
            return IoStatus::Ok;
        }
        std::string& piece = pieces.front();
        received = piece.size() < capacity ? piece.size() : capacity;
        std::memcpy(buffer, piece.data(), received);
        piece.erase(0, received);
        if (piece.empty()) pieces.pop_front();
        return IoStatus::Ok;
    }
    void Close() override { open = false; }

    const ScriptedConnection& Connection(size_t i) const { return scripts_[i]; }
    std::vector<std::string> connects;
    bool open = false;

private:
    FakeClock& clock_;
    std::deque<ScriptedConnection> scripts_;
    size_t next_ = 0;
    ScriptedConnection* current_ = nullptr;
};

// Hands a fake to an owner that deletes its transport after each use.
class BorrowedTransport : public HttpTransport {
public:
    explicit BorrowedTransport(HttpTransport& inner) : inner_(inner) {}
    IoStatus Connect(const std::string& h, uint16_t p, uint32_t ms) override { return inner_.Connect(h, p, ms); }
    IoStatus Send(const char* d, size_t n, uint32_t ms) override { return inner_.Send(d, n, ms); }
    IoStatus Receive(char* b, size_t c, size_t& r, uint32_t ms) override { return inner_.Receive(b, c, r, ms); }
    void Close() override { inner_.Close(); }

private:
    HttpTransport& inner_;
};

}  // namespace Testing
}  // namespace Http
}  // namespace Corvane

#pragma once
// The byte pipe under the socket client: one TCP connection at a time. Every
// operation blocks for at most its time-out. Winsock on Windows; tests use
// scripted fakes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace Corvane {
namespace Http {

enum class IoStatus { Ok, Closed, TimedOut, Failed };

class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    // Closes any open connection, then connects to host:port.
    virtual IoStatus Connect(const std::string& host, uint16_t port, uint32_t timeoutMs) = 0;
    // Sends every byte, or fails.
    virtual IoStatus Send(const char* data, size_t size, uint32_t timeoutMs) = 0;
    // Receives between 1 and capacity bytes into buffer; Closed when the peer
    // has closed its side (received is then 0).
    virtual IoStatus Receive(char* buffer, size_t capacity, size_t& received, uint32_t timeoutMs) = 0;
    // Closes the connection if one is open; harmless otherwise.
    virtual void Close() = 0;

    // Asked during every wait of Connect (name lookup included), Send and
    // Receive; once it answers true the operation ends with Failed within a
    // fraction of a second instead of running to its time-out.
    void SetStopCheck(std::function<bool()> shouldStop) { shouldStop_ = std::move(shouldStop); }

protected:
    bool StopRequested() const { return shouldStop_ && shouldStop_(); }

private:
    std::function<bool()> shouldStop_;
};

// Millisecond clock for the whole-exchange deadline.
class HttpClock {
public:
    virtual ~HttpClock() = default;
    virtual uint64_t NowMs() const;  // a monotonic clock
};

}  // namespace Http
}  // namespace Corvane

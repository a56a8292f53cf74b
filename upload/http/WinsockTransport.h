#pragma once
// HttpTransport over one Winsock TCP connection. The socket is non-blocking
// and every wait goes through select(), so each operation ends within its
// time-out. Windows builds only.
#include <cstdint>

#include "upload/http/HttpTransport.h"

struct addrinfo;  // <ws2tcpip.h>

namespace Corvane {
namespace Http {

// getaddrinfo's contract; tests put a slow lookup in its place.
typedef int(__stdcall* NameLookup)(const char* host, const char* port, const ::addrinfo* hints,
                                   ::addrinfo** result);

class WinsockTransport : public HttpTransport {
public:
    // Every wait is cut into slices of this length, between which the stop
    // check is asked.
    static const uint32_t kStopSliceMs = 100;

    // lookup null: getaddrinfo. The lookup runs on a thread of its own, so
    // a stop (or the connect time-out) ends Connect while a slow name server
    // is still being asked; the abandoned lookup cleans up after itself.
    explicit WinsockTransport(NameLookup lookup = nullptr);
    ~WinsockTransport() override;
    WinsockTransport(const WinsockTransport&) = delete;
    WinsockTransport& operator=(const WinsockTransport&) = delete;

    IoStatus Connect(const std::string& host, uint16_t port, uint32_t timeoutMs) override;
    IoStatus Send(const char* data, size_t size, uint32_t timeoutMs) override;
    IoStatus Receive(char* buffer, size_t capacity, size_t& received, uint32_t timeoutMs) override;
    void Close() override;

private:
    enum class Wait { Ready, TimedOut, Failed, Stopped };
    Wait WaitFor(uintptr_t socket, bool forWrite, uint32_t timeoutMs) const;
    IoStatus Resolve(const std::string& host, uint16_t port, uint32_t timeoutMs, ::addrinfo*& list);
    IoStatus ConnectOne(uintptr_t socket, const ::addrinfo* ai, uint32_t timeoutMs) const;

    NameLookup lookup_;
    bool started_ = false;     // WSAStartup succeeded and needs its WSACleanup
    uintptr_t socket_;         // a SOCKET; INVALID_SOCKET when closed
};

}  // namespace Http
}  // namespace Corvane

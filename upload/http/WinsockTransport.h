#pragma once
// HttpTransport over one Winsock TCP connection. The socket is non-blocking
// and every wait goes through select(), so each operation ends within its
// time-out. Windows builds only.
#include <cstdint>

#include "upload/http/HttpTransport.h"

namespace Corvane {
namespace Http {

class WinsockTransport : public HttpTransport {
public:
    WinsockTransport();
    ~WinsockTransport() override;
    WinsockTransport(const WinsockTransport&) = delete;
    WinsockTransport& operator=(const WinsockTransport&) = delete;

    IoStatus Connect(const std::string& host, uint16_t port, uint32_t timeoutMs) override;
    IoStatus Send(const char* data, size_t size, uint32_t timeoutMs) override;
    IoStatus Receive(char* buffer, size_t capacity, size_t& received, uint32_t timeoutMs) override;
    void Close() override;

private:
    bool started_ = false;     // WSAStartup succeeded and needs its WSACleanup
    uintptr_t socket_;         // a SOCKET; INVALID_SOCKET when closed
};

}  // namespace Http
}  // namespace Corvane

#include "upload/http/WinsockTransport.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

namespace Corvane {
namespace Http {
namespace {

// Closes an addrinfo list on every path out of Connect.
struct AddrInfoList {
    addrinfo* head = nullptr;
    ~AddrInfoList() {
        if (head) freeaddrinfo(head);
    }
};

enum class Wait { Ready, TimedOut, Failed };

// Waits until the socket can be written (or has finished connecting) or read.
Wait WaitFor(SOCKET s, bool forWrite, uint32_t timeoutMs) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval tv;
    tv.tv_sec = static_cast<long>(timeoutMs / 1000);
    tv.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    int n = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &tv);
    if (n == 0) return Wait::TimedOut;
    if (n < 0 || FD_ISSET(s, &failed)) return Wait::Failed;
    return Wait::Ready;
}

uint32_t Remaining(ULONGLONG start, uint32_t timeoutMs) {
    ULONGLONG spent = GetTickCount64() - start;
    return spent >= timeoutMs ? 0 : static_cast<uint32_t>(timeoutMs - spent);
}

IoStatus ConnectOne(SOCKET s, const addrinfo* ai, uint32_t timeoutMs) {
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return IoStatus::Failed;
    if (connect(s, ai->ai_addr, static_cast<int>(ai->ai_addrlen)) == 0) return IoStatus::Ok;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return IoStatus::Failed;
    Wait w = WaitFor(s, true, timeoutMs);
    if (w == Wait::TimedOut) return IoStatus::TimedOut;
    int error = 0;
    int length = sizeof(error);
    if (w == Wait::Failed || getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
        error != 0)
        return IoStatus::Failed;
    return IoStatus::Ok;
}

}  // namespace

WinsockTransport::WinsockTransport() : socket_(INVALID_SOCKET) {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockTransport::~WinsockTransport() {
    Close();
    if (started_) WSACleanup();
}

void WinsockTransport::Close() {
    if (socket_ != INVALID_SOCKET) {
        closesocket(static_cast<SOCKET>(socket_));
        socket_ = INVALID_SOCKET;
    }
}

IoStatus WinsockTransport::Connect(const std::string& host, uint16_t port, uint32_t timeoutMs) {
    Close();
    if (!started_) return IoStatus::Failed;
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    AddrInfoList list;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list.head) != 0) return IoStatus::Failed;
    ULONGLONG start = GetTickCount64();
    IoStatus result = IoStatus::Failed;
    for (const addrinfo* ai = list.head; ai; ai = ai->ai_next) {
        SOCKET s = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        result = ConnectOne(s, ai, Remaining(start, timeoutMs));
        if (result == IoStatus::Ok) {
            socket_ = s;
            return result;
        }
        closesocket(s);
        if (result == IoStatus::TimedOut) break;
    }
    return result;
}

IoStatus WinsockTransport::Send(const char* data, size_t size, uint32_t timeoutMs) {
    if (socket_ == INVALID_SOCKET) return IoStatus::Failed;
    SOCKET s = static_cast<SOCKET>(socket_);
    ULONGLONG start = GetTickCount64();
    while (size > 0) {
        Wait w = WaitFor(s, true, Remaining(start, timeoutMs));
        if (w != Wait::Ready) return w == Wait::TimedOut ? IoStatus::TimedOut : IoStatus::Failed;
        int chunk = size > 0x10000 ? 0x10000 : static_cast<int>(size);
        int n = send(s, data, chunk, 0);
        if (n == SOCKET_ERROR) {
            if (WSAGetLastError() == WSAEWOULDBLOCK) continue;
            return IoStatus::Failed;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return IoStatus::Ok;
}

IoStatus WinsockTransport::Receive(char* buffer, size_t capacity, size_t& received, uint32_t timeoutMs) {
    received = 0;
    if (socket_ == INVALID_SOCKET || capacity == 0) return IoStatus::Failed;
    SOCKET s = static_cast<SOCKET>(socket_);
    ULONGLONG start = GetTickCount64();
    for (;;) {
        Wait w = WaitFor(s, false, Remaining(start, timeoutMs));
        if (w != Wait::Ready) return w == Wait::TimedOut ? IoStatus::TimedOut : IoStatus::Failed;
        int want = capacity > 0x10000 ? 0x10000 : static_cast<int>(capacity);
        int n = recv(s, buffer, want, 0);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return IoStatus::Ok;
        }
        if (n == 0) return IoStatus::Closed;
        if (WSAGetLastError() != WSAEWOULDBLOCK) return IoStatus::Failed;
    }
}

}  // namespace Http
}  // namespace Corvane

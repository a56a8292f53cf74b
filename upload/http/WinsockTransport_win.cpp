#include "upload/http/WinsockTransport.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <process.h>

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

uint32_t Remaining(ULONGLONG start, uint32_t timeoutMs) {
    ULONGLONG spent = GetTickCount64() - start;
    return spent >= timeoutMs ? 0 : static_cast<uint32_t>(timeoutMs - spent);
}

// One name lookup on a thread of its own. Shared by the lookup thread and
// the connecting thread; whichever lets go last frees it (and the result, if
// nobody took it).
struct Lookup {
    NameLookup resolve;
    std::string host, port;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    LONG refs = 2;
    int status = EAI_FAIL;
    addrinfo* result = nullptr;

    void Release() {
        if (InterlockedDecrement(&refs) != 0) return;
        if (result) freeaddrinfo(result);
        if (done) CloseHandle(done);
        delete this;
    }

    static unsigned __stdcall Run(void* self) {
        Lookup* lookup = static_cast<Lookup*>(self);
        WSADATA data;
        const bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;  // outlives the transport's own
        addrinfo hints = {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        lookup->status = lookup->resolve(lookup->host.c_str(), lookup->port.c_str(), &hints, &lookup->result);
        SetEvent(lookup->done);
        lookup->Release();
        if (started) WSACleanup();
        return 0;
    }
};

}  // namespace

WinsockTransport::Wait WinsockTransport::WaitFor(uintptr_t socket, bool forWrite, uint32_t timeoutMs) const {
    const SOCKET s = static_cast<SOCKET>(socket);
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (StopRequested()) return Wait::Stopped;
        const uint32_t left = Remaining(start, timeoutMs);
        const uint32_t slice = left < kStopSliceMs ? left : kStopSliceMs;
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);
        timeval tv;
        tv.tv_sec = static_cast<long>(slice / 1000);
        tv.tv_usec = static_cast<long>((slice % 1000) * 1000);
        int n = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &tv);
        if (n < 0 || (n > 0 && FD_ISSET(s, &failed))) return Wait::Failed;
        if (n > 0) return Wait::Ready;
        if (slice == left) return Wait::TimedOut;
    }
}

IoStatus WinsockTransport::Resolve(const std::string& host, uint16_t port, uint32_t timeoutMs, addrinfo*& list) {
    Lookup* lookup = new Lookup;
    lookup->resolve = lookup_ ? lookup_ : getaddrinfo;
    lookup->host = host;
    lookup->port = std::to_string(port);
    const uintptr_t thread = lookup->done ? _beginthreadex(nullptr, 0, &Lookup::Run, lookup, 0, nullptr) : 0;
    if (thread == 0) {
        lookup->refs = 1;
        lookup->Release();
        return IoStatus::Failed;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    const ULONGLONG start = GetTickCount64();
    IoStatus status = IoStatus::TimedOut;
    for (;;) {
        if (StopRequested()) {
            status = IoStatus::Failed;
            break;
        }
        const uint32_t left = Remaining(start, timeoutMs);
        const uint32_t slice = left < kStopSliceMs ? left : kStopSliceMs;
        if (WaitForSingleObject(lookup->done, slice) == WAIT_OBJECT_0) {
            status = lookup->status == 0 ? IoStatus::Ok : IoStatus::Failed;
            if (status == IoStatus::Ok) {
                list = lookup->result;  // taken over by the caller
                lookup->result = nullptr;
            }
            break;
        }
        if (slice == left) break;
    }
    lookup->Release();
    return status;
}

IoStatus WinsockTransport::ConnectOne(uintptr_t socket, const addrinfo* ai, uint32_t timeoutMs) const {
    const SOCKET s = static_cast<SOCKET>(socket);
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return IoStatus::Failed;
    if (connect(s, ai->ai_addr, static_cast<int>(ai->ai_addrlen)) == 0) return IoStatus::Ok;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return IoStatus::Failed;
    Wait w = WaitFor(socket, true, timeoutMs);
    if (w == Wait::TimedOut) return IoStatus::TimedOut;
    int error = 0;
    int length = sizeof(error);
    if (w != Wait::Ready || getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
        error != 0)
        return IoStatus::Failed;
    return IoStatus::Ok;
}

WinsockTransport::WinsockTransport(NameLookup lookup) : lookup_(lookup), socket_(INVALID_SOCKET) {
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
    const ULONGLONG lookupStart = GetTickCount64();
    AddrInfoList list;
    IoStatus resolved = Resolve(host, port, timeoutMs, list.head);
    if (resolved != IoStatus::Ok) return resolved;
    timeoutMs = Remaining(lookupStart, timeoutMs);  // the lookup's time counts against the connect
    ULONGLONG start = GetTickCount64();
    IoStatus result = IoStatus::Failed;
    for (const addrinfo* ai = list.head; ai; ai = ai->ai_next) {
        SOCKET s = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        result = ConnectOne(static_cast<uintptr_t>(s), ai, Remaining(start, timeoutMs));
        if (result == IoStatus::Ok) {
            socket_ = s;
            return result;
        }
        closesocket(s);
        if (result == IoStatus::TimedOut || StopRequested()) break;
    }
    return result;
}

IoStatus WinsockTransport::Send(const char* data, size_t size, uint32_t timeoutMs) {
    if (socket_ == INVALID_SOCKET) return IoStatus::Failed;
    SOCKET s = static_cast<SOCKET>(socket_);
    ULONGLONG start = GetTickCount64();
    while (size > 0) {
        Wait w = WaitFor(socket_, true, Remaining(start, timeoutMs));
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
        Wait w = WaitFor(socket_, false, Remaining(start, timeoutMs));
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

#include "upload/WinINetPoster.h"

#include <windows.h>
#include <wininet.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "image/PxFile.h"
#include "support/Convert.h"

using Corvane::Threading::TickCount;

namespace {

void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                             DWORD length) {
    WinINetPoster::OnStatus(handle, context, status, info, length);
}

// The narrow library calls for npPixmend, the wide ones for Pixmend.
template <typename Ch> struct Api;

template <> struct Api<char> {
    typedef INTERNET_BUFFERSA Buffers;
    static HINTERNET Open() {
        return InternetOpenA("Carrway", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
    }
    static INTERNET_STATUS_CALLBACK SetCallback(HINTERNET h, INTERNET_STATUS_CALLBACK cb) {
        return InternetSetStatusCallbackA(h, cb);
    }
    static HINTERNET Connect(HINTERNET s, const std::string& host, INTERNET_PORT port, DWORD_PTR ctx) {
        return InternetConnectA(s, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, ctx);
    }
    static HINTERNET OpenRequest(HINTERNET c, const std::string& path, DWORD flags, DWORD_PTR ctx) {
        return HttpOpenRequestA(c, "POST", path.c_str(), nullptr, nullptr, nullptr, flags, ctx);
    }
    static BOOL SendEx(HINTERNET r, Buffers* in) { return HttpSendRequestExA(r, in, nullptr, 0, 0); }
    static BOOL End(HINTERNET r) { return HttpEndRequestA(r, nullptr, 0, 0); }
    static BOOL Read(HINTERNET r, Buffers* out, DWORD_PTR ctx) { return InternetReadFileExA(r, out, 0, ctx); }
    static BOOL Query(HINTERNET r, DWORD* code, DWORD* size) {
        return HttpQueryInfoA(r, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, code, size, nullptr);
    }
    static BOOL QueryOption(HINTERNET r, DWORD option, DWORD* value, DWORD* size) {
        return InternetQueryOptionA(r, option, value, size);
    }
    static BOOL SetOption(HINTERNET r, DWORD option, DWORD* value) {
        return InternetSetOptionA(r, option, value, sizeof *value);
    }
    static std::string ResponseText(const std::string& bytes) { return bytes; }
};

template <> struct Api<wchar_t> {
    typedef INTERNET_BUFFERSW Buffers;
    static HINTERNET Open() {
        return InternetOpenW(L"Carrway", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
    }
    static INTERNET_STATUS_CALLBACK SetCallback(HINTERNET h, INTERNET_STATUS_CALLBACK cb) {
        return InternetSetStatusCallbackW(h, cb);
    }
    static HINTERNET Connect(HINTERNET s, const std::wstring& host, INTERNET_PORT port, DWORD_PTR ctx) {
        return InternetConnectW(s, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, ctx);
    }
    static HINTERNET OpenRequest(HINTERNET c, const std::wstring& path, DWORD flags, DWORD_PTR ctx) {
        return HttpOpenRequestW(c, L"POST", path.c_str(), nullptr, nullptr, nullptr, flags, ctx);
    }
    static BOOL SendEx(HINTERNET r, Buffers* in) { return HttpSendRequestExW(r, in, nullptr, 0, 0); }
    static BOOL End(HINTERNET r) { return HttpEndRequestW(r, nullptr, 0, 0); }
    static BOOL Read(HINTERNET r, Buffers* out, DWORD_PTR ctx) { return InternetReadFileExW(r, out, 0, ctx); }
    static BOOL Query(HINTERNET r, DWORD* code, DWORD* size) {
        return HttpQueryInfoW(r, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, code, size, nullptr);
    }
    static BOOL QueryOption(HINTERNET r, DWORD option, DWORD* value, DWORD* size) {
        return InternetQueryOptionW(r, option, value, size);
    }
    static BOOL SetOption(HINTERNET r, DWORD option, DWORD* value) {
        return InternetSetOptionW(r, option, value, sizeof *value);
    }
    // Pixmend's reply text is read in the ANSI code page.
    static std::wstring ResponseText(const std::string& bytes) { return MultiByteToWide(bytes, false); }
};

typedef Api<PxChar> Calls;

}  // namespace

// Everything one upload opens or fills, and the context value of its handles.
// Reference counted: the worker holds one reference and every handle that
// carries the session holds one until its INTERNET_STATUS_HANDLE_CLOSING, so
// a call still pending after a time-out writes into live memory and a late
// notification finds a session whose owner has been detached.
struct WinINetPoster::Session {
    explicit Session(WinINetPoster* poster) : owner(poster) {}
    void AddRef() { ++refs; }
    void Release() {
        if (--refs == 0) delete this;
    }

    // Detaches the owner: once it returns, no notification reaches it. Waits
    // for the notifications under way, which hold no lock while they run (a
    // progress event may be inside a call to the window thread).
    void Detach() {
        std::unique_lock<std::mutex> hold(mutex);
        owner = nullptr;
        idle.wait(hold, [this] { return ownerUsers == 0; });
    }

    std::mutex mutex;        // guards owner and ownerUsers
    std::condition_variable idle;
    WinINetPoster* owner;    // null once the worker has finished
    int ownerUsers = 0;      // notifications running on the owner
    std::atomic<int> refs{1};
    UrlParts url;
    HINTERNET internet = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    int handlesWithContext = 0;  // handles whose notifications carry the uploader
    PxString headers;
    Calls::Buffers sendBuffers;
    FieldsData body;
    DWORD written = 0;       // body bytes the write calls reported
    DWORD pieceWritten = 0;  // output of the current write call
    char readBuffer[256];
    Calls::Buffers readBuffers;

    bool Secure() const { return url.scheme == UrlScheme::kHttps; }
};

WinINetPoster::WinINetPoster() = default;

WinINetPoster::~WinINetPoster() { WaitForWorker(); }

void WinINetPoster::SetWaitLimits(uint32_t idleMs, uint32_t totalMs) {
    idleLimitMs_ = idleMs;
    waitLimitMs_ = totalMs;
}

void WinINetPoster::Post(PxFile* stream, const PxString& fileName) {
    httpStatus_ = 0;
    StartUpload(stream, fileName);
}

void WinINetPoster::OnStatus(void* handle, uintptr_t context, uint32_t status, void* info, uint32_t) {
    if (context == 0) return;  // the internet handle carries no session
    Session* session = reinterpret_cast<Session*>(context);
    WinINetPoster* owner;
    {
        std::lock_guard<std::mutex> hold(session->mutex);
        owner = session->owner;
        if (owner) ++session->ownerUsers;
    }
    if (owner) {
        owner->HandleStatus(handle, status, info);
        std::lock_guard<std::mutex> hold(session->mutex);
        if (--session->ownerUsers == 0) session->idle.notify_all();
    }
    if (status == INTERNET_STATUS_HANDLE_CLOSING) session->Release();
}

void WinINetPoster::HandleStatus(void*, uint32_t status, void* info) {
    lastActivity_ = TickCount();
    switch (status) {
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
        connected_.Set();
        break;
    case INTERNET_STATUS_REQUEST_SENT:
        if (writing_ && info) {
            sent_ += *static_cast<const DWORD*>(info);
            speed_ = speedCalc_.Calculate(sent_);
            RaiseProgress(progressTag_, 0, PxString());
        }
        break;
    case INTERNET_STATUS_HANDLE_CREATED:
        if (info) asyncResult_ = static_cast<const INTERNET_ASYNC_RESULT*>(info)->dwResult;
        handleCreated_.Set();
        break;
    case INTERNET_STATUS_REQUEST_COMPLETE:
        if (info) {
            const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
            asyncError_ = result->dwError;
            asyncResult_ = result->dwResult;
        } else {
            asyncResult_ = 0;
        }
        requestDone_.Set();
        break;
    case INTERNET_STATUS_HANDLE_CLOSING:
        ++handlesClosed_;
        handleClosed_.Set();
        break;
    default:
        break;
    }
}

// True when the pending call completed in time; the completion's result is
// then in asyncResult_. Waits in slices so that Stop ends the wait early. The
// whole-upload limit counts from the start of the upload, not of this wait,
// so a server that answers every call just in time still cannot keep the
// upload alive past it.
bool WinINetPoster::WaitForCompletion(Wait which) {
    Corvane::Threading::EventHandler& event = which == Wait::kRequestDone ? requestDone_ : handleCreated_;
    lastActivity_ = TickCount();
    for (;;) {
        if (event.Wait(50u)) return true;
        const uint32_t now = TickCount();
        if (IsStopped() || now - lastActivity_ >= idleLimitMs_ || now - uploadStart_ >= waitLimitMs_) return false;
    }
}

void WinINetPoster::Run() {
    uploadStart_ = TickCount();
    httpStatus_ = 0;
    handlesClosed_ = 0;
    requestDone_.Reset();
    handleCreated_.Reset();
    handleClosed_.Reset();
    connected_.Reset();
    writing_ = false;
    Session* session = new Session(this);
    Exchange(*session);
    session->Detach();  // late notifications no longer reach this uploader
    session->Release();
    Report();
}

void WinINetPoster::Exchange(Session& s) {
    SplitUrl(GetUrl(), s.url);  // malformed text leaves the host empty: connecting fails
    s.internet = Calls::Open();
    if (s.internet && Calls::SetCallback(s.internet, StatusCallback) == INTERNET_INVALID_STATUS_CALLBACK) {
        SetError(kErrorCallback);
    }
    Connect(s);
    if (GetStatus() & kStatusConnected) OpenRequest(s);
    writing_ = false;
    SendHeaders(s);
    WriteBody(s);
    if (EndRequest(s) && ReadReply(s)) QueryStatus(s);
    Close(s);
}

void WinINetPoster::Connect(Session& s) {
    if (!s.internet || s.url.host.empty()) {
        SetError(kErrorConnect);
        return;
    }
    handleCreated_.Reset();
    // The session is the connection's context too, so that a pending connect
    // can be waited for and its handle's release is seen.
    s.connection = CreateHandle(s, Wait::kHandleCreated, [&s] {
        return Calls::Connect(s.internet, s.url.host, s.url.port, reinterpret_cast<DWORD_PTR>(&s));
    });
    if (!s.connection) {
        SetError(kErrorConnect);  // also a pending connect that produced no handle
        return;
    }
    SetStatus(kStatusConnected);
}

// Runs a call that creates a handle carrying the session as its context.
// The reference that handle holds is taken before the call: a call that pends
// and outlasts the wait may still create the handle, whose closing
// notification then releases it. A call that surely created nothing gives
// the reference back.
template <typename Call>
HINTERNET WinINetPoster::CreateHandle(Session& s, Wait which, Call call) {
    s.AddRef();
    HINTERNET handle = call();
    if (!handle) {
        if (GetLastError() != ERROR_IO_PENDING) {
            s.Release();
            return nullptr;
        }
        if (!WaitForCompletion(which)) return nullptr;  // the reference stays with the late handle
        handle = reinterpret_cast<HINTERNET>(asyncResult_.load());
        if (!handle) {
            s.Release();
            return nullptr;
        }
    }
    ++s.handlesWithContext;
    return handle;
}

void WinINetPoster::OpenRequest(Session& s) {
    const DWORD flags = s.Secure() ? INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
                                         INTERNET_FLAG_IGNORE_CERT_CN_INVALID
                                   : INTERNET_FLAG_NO_CACHE_WRITE;
    requestDone_.Reset();
    s.request = CreateHandle(s, Wait::kRequestDone, [&s, flags] {
        return Calls::OpenRequest(s.connection, s.url.path, flags, reinterpret_cast<DWORD_PTR>(&s));
    });
    if (!s.request) return;  // recorded when the headers cannot be sent
    if (s.Secure()) {
        DWORD security = 0, size = sizeof security;
        if (Calls::QueryOption(s.request, INTERNET_OPTION_SECURITY_FLAGS, &security, &size)) {
            security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
            Calls::SetOption(s.request, INTERNET_OPTION_SECURITY_FLAGS, &security);
        }
    }
}

void WinINetPoster::SendHeaders(Session& s) {
    if (!(GetStatus() & kStatusConnected)) return;
    const size_t length = GetForm().GetContentLength();
    if (!s.request || length > static_cast<size_t>(INT32_MAX)) {
        SetError(kErrorRequest);
        return;
    }
    s.headers = HttpHeader().Build();
    std::memset(&s.sendBuffers, 0, sizeof s.sendBuffers);
    s.sendBuffers.dwStructSize = sizeof s.sendBuffers;
    s.sendBuffers.lpcszHeader = s.headers.c_str();
    s.sendBuffers.dwHeadersLength = static_cast<DWORD>(s.headers.size());
    s.sendBuffers.dwHeadersTotal = static_cast<DWORD>(s.headers.size());
    s.sendBuffers.dwBufferTotal = static_cast<DWORD>(length);
    requestDone_.Reset();
    if (Calls::SendEx(s.request, &s.sendBuffers)) return;
    // A pending send counts only when its completion reports success: a
    // refused connection surfaces here, and the request must not be used again.
    if (GetLastError() != ERROR_IO_PENDING || !WaitForCompletion(Wait::kRequestDone) || asyncResult_ == 0) {
        SetError(kErrorRequest);
    }
}

void WinINetPoster::WriteBody(Session& s) {
    if (!(GetStatus() & kStatusConnected)) return;
    if (!AssembleBody(s.body) || s.body.GetSize() != GetForm().GetContentLength()) {
        SetError(kErrorRequest);  // the stream changed size since Post, or cannot be read
        return;
    }
    total_ = static_cast<uint32_t>(s.body.GetSize());
    sent_ = 0;
    writing_ = true;
    const bool ok = WritePieces(s);
    writing_ = false;
    if (!ok) {
        SetError(kErrorRequest);
        return;
    }
    if (sent_ == total_ || s.written == total_) {
        sent_ = total_.load();
        SetStatus(GetStatus() | kStatusAllSent);
    }
}

// Writes the body in pieces so that progress is reported as it goes and a
// stop is honoured between pieces. s.written sums what the calls wrote.
bool WinINetPoster::WritePieces(Session& s) {
    const char* data = s.body.GetBuffer();
    const size_t size = s.body.GetSize();
    for (size_t offset = 0; offset < size;) {
        if (IsStopped()) return false;
        const DWORD piece = static_cast<DWORD>(size - offset < kWritePiece ? size - offset : kWritePiece);
        s.pieceWritten = 0;  // a pending call fills it when it completes
        requestDone_.Reset();
        BOOL ok = InternetWriteFile(s.request, data + offset, piece, &s.pieceWritten);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            ok = WaitForCompletion(Wait::kRequestDone) && asyncResult_ != 0;
            if (ok && s.pieceWritten == 0) s.pieceWritten = piece;
        }
        if (!ok || s.pieceWritten == 0 || s.pieceWritten > piece) return false;
        s.written += s.pieceWritten;
        offset += s.pieceWritten;
    }
    return true;
}

bool WinINetPoster::EndRequest(Session& s) {
    if (!s.request || !(GetStatus() & kStatusConnected)) return false;
    requestDone_.Reset();
    if (Calls::End(s.request)) return true;
    if (GetLastError() == ERROR_IO_PENDING && WaitForCompletion(Wait::kRequestDone) && asyncResult_ != 0) {
        return true;
    }
    SetError(kErrorRequest);
    return false;
}

// Reads the reply in pieces of at most 255 bytes into the response. False
// when a read did not complete in time or the reply is too large.
bool WinINetPoster::ReadReply(Session& s) {
    SetResponse(PxString());
    std::string bytes;
    for (;;) {
        std::memset(s.readBuffer, 0, sizeof s.readBuffer);
        std::memset(&s.readBuffers, 0, sizeof s.readBuffers);
        s.readBuffers.dwStructSize = sizeof s.readBuffers;
        s.readBuffers.lpvBuffer = s.readBuffer;
        s.readBuffers.dwBufferLength = sizeof s.readBuffer - 1;
        requestDone_.Reset();
        if (!Calls::Read(s.request, &s.readBuffers, reinterpret_cast<DWORD_PTR>(&s))) {
            if (GetLastError() != ERROR_IO_PENDING) break;
            if (!WaitForCompletion(Wait::kRequestDone)) {
                SetError(kErrorRequest);
                return false;
            }
            if (asyncResult_ == 0) break;
        }
        const DWORD got = s.readBuffers.dwBufferLength < sizeof s.readBuffer ? s.readBuffers.dwBufferLength : 0;
        s.readBuffer[got] = '\0';
        bytes += s.readBuffer;  // a zero byte in the reply ends that piece
        if (got == 0) break;
        if (bytes.size() > kMaxResponseBytes) {
            SetResponse(Calls::ResponseText(bytes));
            SetError(kErrorRequest);
            return false;
        }
    }
    SetResponse(Calls::ResponseText(bytes));
    return true;
}

void WinINetPoster::QueryStatus(Session& s) {
    DWORD code = 0, size = sizeof code;
    if (Calls::Query(s.request, &code, &size)) {
        httpStatus_ = code;
        return;
    }
    const DWORD error = GetLastError();  // before the conversion below can change it
    const std::string message = Utf8ToAnsi("\xE8\x8E\xB7\xE5\x8F\x96\xE7\x8A\xB6\xE6\x80\x81\xE7\xA0\x81"
                                           "\xE9\x94\x99\xE8\xAF\xAF");  // the fixed diagnostic text
    std::printf("%s  HttpQueryInfo %lu \n", message.c_str(), static_cast<unsigned long>(error));
    std::fflush(stdout);
}

void WinINetPoster::Close(Session& s) {
    if (s.request) InternetCloseHandle(s.request);
    if (s.connection) InternetCloseHandle(s.connection);
    if (s.internet) {
        Calls::SetCallback(s.internet, nullptr);
        InternetCloseHandle(s.internet);
    }
    // Wait (bounded) until the library has released the handles; if it takes
    // longer, the session outlives the worker until it does.
    const uint32_t start = TickCount();
    while (handlesClosed_ < s.handlesWithContext && TickCount() - start < kCloseLimitMs) {
        handleClosed_.Wait(50u);
    }
}

void WinINetPoster::Report() {
    const uint32_t status = GetStatus();
    if ((status & kStatusAllSent) && httpStatus_ == 200) {
        RaiseComplete();
    } else {
        RaiseError(status == 0 ? GetErrorCode() : kErrorRequest);
    }
}

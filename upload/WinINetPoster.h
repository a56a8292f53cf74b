#pragma once
// The uploader over the system HTTP client library (WinINet) in asynchronous
// mode. The worker runs the exchange as a straight sequence (open, connect,
// open request, send headers, write body, end request, read reply, query
// status, close, report) and turns each pending call into a bounded wait on an
// event that the library's status callback sets. Windows only.
#include <atomic>
#include <cstdint>
#include <string>

#include "upload/HttpPoster.h"

class WinINetPoster : public HttpPoster {
public:
    // A wait ends when no notification arrived for idleMs, or once the upload
    // has run totalMs since it started (one deadline for the whole upload),
    // or when the upload is stopped; the upload then fails.
    static const uint32_t kDefaultIdleLimitMs = 30000;
    static const uint32_t kDefaultWaitLimitMs = 600000;
    // Bound on waiting for the library to release the handles at the end.
    static const uint32_t kCloseLimitMs = 2000;
    // Reply text beyond this many bytes fails the upload.
    static const size_t kMaxResponseBytes = 16u << 20;
    // The body goes out in pieces of this many bytes.
    static const size_t kWritePiece = 64u << 10;

    WinINetPoster();
    // Stops a running upload and waits for its worker.
    ~WinINetPoster() override;

    void Post(PxFile* stream, const PxString& fileName) override;

    void SetWaitLimits(uint32_t idleMs, uint32_t totalMs);
    uint32_t GetHttpStatus() const { return httpStatus_; }

    // The library's status callback; context is the upload's session.
    static void OnStatus(void* handle, uintptr_t context, uint32_t status, void* info, uint32_t length);

protected:
    void Run() override;

private:
    struct Session;  // the handles and buffers of one upload (WinINetPoster_win.cpp)
    enum class Wait { kRequestDone, kHandleCreated };

    void Exchange(Session& s);
    bool WaitForCompletion(Wait which);
    template <typename Call>
    void* CreateHandle(Session& s, Wait which, Call call);
    void Connect(Session& s);
    void OpenRequest(Session& s);
    void SendHeaders(Session& s);
    void WriteBody(Session& s);
    bool WritePieces(Session& s);
    bool EndRequest(Session& s);
    bool ReadReply(Session& s);
    void QueryStatus(Session& s);
    void Close(Session& s);
    void Report();
    void HandleStatus(void* handle, uint32_t status, void* info);

    std::atomic<bool> writing_{false};
    std::atomic<uint32_t> httpStatus_{0};
    SpeedCalculater speedCalc_;
    Corvane::Threading::EventHandler requestDone_;    // INTERNET_STATUS_REQUEST_COMPLETE
    Corvane::Threading::EventHandler connected_;      // INTERNET_STATUS_CONNECTED_TO_SERVER
    Corvane::Threading::EventHandler handleCreated_;  // INTERNET_STATUS_HANDLE_CREATED
    Corvane::Threading::EventHandler handleClosed_;   // INTERNET_STATUS_HANDLE_CLOSING

    // The last completion's INTERNET_ASYNC_RESULT, written before requestDone_
    // or handleCreated_ is set.
    std::atomic<uintptr_t> asyncResult_{0};
    std::atomic<uint32_t> asyncError_{0};
    std::atomic<uint32_t> lastActivity_{0};  // tick of the last notification
    std::atomic<uint32_t> uploadStart_{0};   // tick at which the worker started
    std::atomic<int> handlesClosed_{0};
    std::atomic<uint32_t> idleLimitMs_{kDefaultIdleLimitMs};
    std::atomic<uint32_t> waitLimitMs_{kDefaultWaitLimitMs};
};

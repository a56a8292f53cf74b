#pragma once
// The uploader base: one multipart form, one worker thread per upload, and the
// events through which the worker reports back to its owner.
#include <atomic>
#include <cstdint>
#include <string>

#include "support/Flavour.h"
#include "support/Threading.h"
#include "upload/HttpForm.h"
#include "upload/Progress.h"
#include "upload/Url.h"

class PxFile;

// Receiver of an uploader's events; every call arrives on the upload's worker
// thread. No destructor slot: the owner never deletes a sink through this face.
class HttpPosterEvent {
public:
    // The reply arrived with HTTP status 200. reserved is 0.
    virtual void OnPostComplete(int reserved) { (void)reserved; }
    // The upload failed; errorCode is one of HttpPoster's kError* codes.
    virtual void OnPostError(int reserved, int errorCode) { (void)reserved; (void)errorCode; }
    // A progress step; receivers redraw from GetPercentText() and may ignore
    // the arguments.
    virtual void OnPostProgress(int tag, int bytesSent, PxString text) {
        (void)tag; (void)bytesSent; (void)text;
    }

protected:
    ~HttpPosterEvent() = default;
};

// The request body of one upload, assembled in memory.
class FieldsData {
public:
    void WriteText(const std::string& bytes) { body_ += bytes; }
    // Appends the whole content of stream (read from its start). False when
    // the stream cannot be sized or read completely.
    bool WriteStream(PxFile& stream);
    const char* GetBuffer() const { return body_.data(); }
    size_t GetSize() const { return body_.size(); }
    void Reserve(size_t bytes) { body_.reserve(bytes); }

private:
    std::string body_;
};

class HttpPoster {
public:
    // Final error codes.
    static const int kErrorConnect = 0;   // connection could not be opened
    static const int kErrorRequest = 1;   // send failed, or status other than 200
    static const int kErrorCallback = 6;  // status callback not installed (recorded only)

    // Status word bits.
    static const uint32_t kStatusConnected = 0x01;
    static const uint32_t kStatusAllSent = 0x10;

    HttpPoster();
    // Concrete uploaders must call WaitForWorker() first in their destructor.
    virtual ~HttpPoster();
    HttpPoster(const HttpPoster&) = delete;
    HttpPoster& operator=(const HttpPoster&) = delete;

    virtual void SetUrl(const PxString& url);
    virtual void SetCharset(const PxString& name);
    // Stored lower-cased.
    virtual void SetAuthType(const PxString& name);
    // Starts an upload of the whole stream under fileName and returns at once.
    // The stream stays the caller's and must live until the final event. The
    // base implementation does nothing.
    virtual void Post(PxFile* stream, const PxString& fileName);
    // Asks the running upload to stop; it then ends with OnPostError.
    virtual void Stop();

    // Must be set before the first Post; null detaches the receiver. Once it
    // returns, no event reaches the previous receiver any more: a call into it
    // that is under way on another thread is waited for, and on a window
    // thread the wait keeps answering messages sent to it (so a receiver
    // blocked in SendMessage to that window finishes). Called from inside an
    // event, it does not wait for that event.
    void SetEventSink(HttpPosterEvent* sink);
    // The editor fills the form before Post.
    HttpForm& GetForm() { return form_; }
    // Field name of this uploader's file part; until set, the process-wide
    // name (UploadFileFieldName()) is used.
    void SetFileFieldName(const PxString& name) { form_.SetFileFieldName(name); }
    // True while a worker started by Post has not ended; never blocks.
    bool IsRunning() const { return worker_.IsRunning(); }
    PxString GetResponse() const;
    PxString GetPercentText() const;
    uint32_t GetStatus() const { return status_; }
    void SetStatus(uint32_t value) { status_ = value; }
    // Clears the status word and records code.
    void SetError(int32_t code);
    int32_t GetErrorCode() const { return errorCode_; }
    const PxString& GetUrl() const { return url_; }
    const PxString& GetAuthType() const { return authType_; }
    uint32_t GetSent() const { return sent_; }
    uint32_t GetTotal() const { return total_; }
    uint32_t GetSpeed() const { return speed_; }

protected:
    // The common start of Post: remembers the stream, resets the counters,
    // appends the file part and runs Run() on a new worker thread. When the
    // thread cannot start, OnPostError(0, 1) is raised on the calling thread.
    void StartUpload(PxFile* stream, const PxString& fileName);
    // The worker body. It should end with RaiseComplete or RaiseError; if it
    // raises neither, OnPostError(0, 1) is raised for it.
    virtual void Run() = 0;
    // Stops the running worker, detaches the sink and waits for the worker to
    // end, releasing its handle. Safe to call when no worker runs. The wait
    // answers messages sent to the calling thread (WorkerThread::Join).
    void WaitForWorker();
    bool IsStopped() const;

    // Builds the body of the current form around the stream; false (and an
    // empty body) when the stream is missing or cannot be read.
    bool AssembleBody(FieldsData& body) const;

    // Event delivery; only the first final event of an upload is delivered.
    void RaiseComplete();
    void RaiseError(int code);
    void RaiseProgress(int tag, int bytesSent, const PxString& text);
    void SetResponse(const PxString& text);

    PxFile* stream_ = nullptr;  // the image being uploaded; not owned
    std::atomic<uint32_t> speed_{0};
    std::atomic<uint32_t> total_{0};
    std::atomic<uint32_t> sent_{0};
    const int32_t progressTag_ = -1;

private:
    void WorkerMain();
    // The receiver for one event call, counted as in flight until
    // LeaveSink; null (nothing counted) when there is none or, for progress,
    // when the final event has been raised. No lock is held during the call.
    HttpPosterEvent* EnterSink(bool final);
    void LeaveSink();
    void WaitForCallsInFlight();

    HttpPosterEvent* eventSink_ = nullptr;
    int32_t stopFlag_ = 0;
    std::atomic<uint32_t> status_{0};
    std::atomic<int32_t> errorCode_{0};
    HttpForm form_;
    PxString url_;
    PxString response_;
    PxString charset_;
    PxString authType_;
    bool finalRaised_ = false;
    int callsInFlight_ = 0;  // event calls under way
    int callWaiters_ = 0;    // threads in WaitForCallsInFlight
    Corvane::Threading::EventHandler callEnded_;
    mutable Corvane::Threading::CriticalSection lock_;  // stopFlag, sink, calls in flight and their waiters, response
    Corvane::Threading::WorkerThread worker_;
};

// The uploader for url: the system-HTTP one for https and for the host
// "localhost", the socket one otherwise. Owned by the caller.
HttpPoster* CreatePoster(const PxString& url);

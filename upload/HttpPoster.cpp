#include "upload/HttpPoster.h"

#include <limits>

#include "image/PxFile.h"
#include "support/Convert.h"

using Corvane::Threading::ScopedLock;

bool FieldsData::WriteStream(PxFile& stream) {
    if (!stream.Seek(0, SEEK_SET)) return false;
    const int32_t size = stream.Size();
    if (size < 0) return false;
    const size_t start = body_.size();
    body_.resize(start + static_cast<size_t>(size));
    const size_t read = size > 0 ? stream.Read(&body_[start], 1, static_cast<size_t>(size)) : 0;
    if (read != static_cast<size_t>(size)) {
        body_.resize(start);
        return false;
    }
    return true;
}

HttpPoster::HttpPoster() = default;

HttpPoster::~HttpPoster() { WaitForWorker(); }

void HttpPoster::SetUrl(const PxString& url) { url_ = url; }

void HttpPoster::SetCharset(const PxString& name) {
    charset_ = name;
    form_.SetCharset(name);
}

void HttpPoster::SetAuthType(const PxString& name) {
    authType_ = name;
    ToLower(authType_);
}

void HttpPoster::Post(PxFile*, const PxString&) {}

void HttpPoster::Stop() {
    ScopedLock hold(lock_);
    stopFlag_ = 1;
}

bool HttpPoster::IsStopped() const {
    ScopedLock hold(lock_);
    return stopFlag_ != 0;
}

namespace {

// Event calls under way on this thread, across all uploaders: a receiver that
// detaches itself from inside an event must not wait for that event.
thread_local int tlsSinkCalls = 0;

}  // namespace

void HttpPoster::SetEventSink(HttpPosterEvent* sink) {
    {
        ScopedLock hold(lock_);
        eventSink_ = sink;
    }
    WaitForCallsInFlight();
}

void HttpPoster::WaitForCallsInFlight() {
    for (;;) {
        {
            ScopedLock hold(lock_);
            if (callsInFlight_ <= tlsSinkCalls) return;
            ++callWaiters_;
        }
        callEnded_.WaitDispatching(50u);
        ScopedLock hold(lock_);
        --callWaiters_;
    }
}

PxString HttpPoster::GetResponse() const {
    ScopedLock hold(lock_);
    return response_;
}

void HttpPoster::SetResponse(const PxString& text) {
    ScopedLock hold(lock_);
    response_ = text;
}

PxString HttpPoster::GetPercentText() const { return PercentText(sent_, total_); }

void HttpPoster::SetError(int32_t code) {
    status_ = 0;
    errorCode_ = code;
}

void HttpPoster::StartUpload(PxFile* stream, const PxString& fileName) {
    worker_.Join();  // the previous upload has raised its final event by now
    {
        ScopedLock hold(lock_);
        stopFlag_ = 0;
        finalRaised_ = false;
    }
    stream_ = stream;
    const int32_t size = stream ? stream->Size() : 0;
    total_ = size > 0 ? static_cast<uint32_t>(size) : 0;
    sent_ = 0;
    speed_ = 0;
    form_.AddFile(fileName, size > 0 ? size : 0);
    if (!worker_.Start([this] { WorkerMain(); })) RaiseError(kErrorRequest);
}

void HttpPoster::WorkerMain() {
    // A forged part fails the upload before any connection is made.
    if (form_.IsWellFormed()) Run();
    RaiseError(kErrorRequest);  // dropped when Run raised its final event
}

void HttpPoster::WaitForWorker() {
    {
        ScopedLock hold(lock_);
        stopFlag_ = 1;
        eventSink_ = nullptr;
    }
    worker_.Join();
}

bool HttpPoster::AssembleBody(FieldsData& body) const {
    if (!stream_) return false;
    const std::string head = ToBodyBytes(form_.BuildFieldsText());
    const std::string tail = "\r\n" + ToBodyBytes(form_.BuildTrailer());
    const int32_t size = stream_->Size();
    if (size < 0) return false;
    const size_t limit = static_cast<size_t>(std::numeric_limits<int32_t>::max());
    if (head.size() + tail.size() > limit - static_cast<size_t>(size)) return false;
    body.Reserve(head.size() + static_cast<size_t>(size) + tail.size());
    body.WriteText(head);
    if (!body.WriteStream(*stream_)) return false;
    body.WriteText(tail);
    return true;
}

HttpPosterEvent* HttpPoster::EnterSink(bool final) {
    ScopedLock hold(lock_);
    if (finalRaised_) return nullptr;
    if (final) finalRaised_ = true;
    if (!eventSink_) return nullptr;
    ++callsInFlight_;
    ++tlsSinkCalls;
    return eventSink_;
}

void HttpPoster::LeaveSink() {
    ScopedLock hold(lock_);
    --callsInFlight_;
    --tlsSinkCalls;
    // Setting the event is a kernel call (a round trip to wineserver under
    // Wine), and WinINet raises progress on the thread that sends the body,
    // once per piece: only a SetEventSink that is waiting needs it.
    if (callWaiters_ > 0) callEnded_.Set();
}

void HttpPoster::RaiseComplete() {
    if (HttpPosterEvent* sink = EnterSink(true)) {
        sink->OnPostComplete(0);
        LeaveSink();
    }
}

void HttpPoster::RaiseError(int code) {
    if (HttpPosterEvent* sink = EnterSink(true)) {
        sink->OnPostError(0, code);
        LeaveSink();
    }
}

void HttpPoster::RaiseProgress(int tag, int bytesSent, const PxString& text) {
    if (HttpPosterEvent* sink = EnterSink(false)) {
        sink->OnPostProgress(tag, bytesSent, text);
        LeaveSink();
    }
}

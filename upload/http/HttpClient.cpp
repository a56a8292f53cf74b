#include "upload/http/HttpClient.h"

#include <chrono>

#include "upload/http/HttpRequestHead.h"

namespace Corvane {
namespace Http {

uint64_t HttpClock::NowMs() const {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// State of one navigation across its requests.
struct HttpClient::Exchange {
    HttpTarget target;
    SendProgress* progress = nullptr;
    uint64_t deadline = 0;
    int redirects = 0;
    int authSteps = 0;
    AuthScheme* lastScheme = nullptr;  // scheme that answered the last challenge
    std::string authField;
    std::string authValue;
};

HttpClient::HttpClient(HttpTransport& transport, const HttpClock& clock, const ClientLimits& limits)
    : transport_(transport), clock_(clock), limits_(limits) {
    if (limits_.sendBlockBytes == 0) limits_.sendBlockBytes = 4096;
    if (limits_.readBlockBytes == 0) limits_.readBlockBytes = 4096;
}

HttpClient::~HttpClient() { Close(); }

void HttpClient::AddAuthScheme(const std::string& name, AuthScheme* scheme) {
    if (scheme) schemes_.emplace_back(name, scheme);
}

void HttpClient::Close() {
    transport_.Close();
    connected_ = false;
}

bool HttpClient::Navigate(const HttpRequest& request, HttpReply& reply) {
    error_.clear();
    Exchange ex;
    ex.deadline = clock_.NowMs() + limits_.exchangeTimeoutMs;
    ex.progress = request.progress;
    if (!ParseHttpUrl(request.url, ex.target)) return Fail("unusable URL");
    for (auto& entry : schemes_) entry.second->Reset();
    for (;;) {
        if (!EnsureConnected(ex) || !SendRequest(request, ex)) return false;
        HttpReplyParser parser(limits_.reply);
        if (!ReadReply(ex, parser)) return false;
        if (!parser.KeepAlive()) Close();
        bool again = false;
        if (!Answer(parser, ex, again)) return false;
        if (!again && !Redirect(parser, ex, again)) return false;
        if (again) continue;
        reply.status = parser.Status();
        reply.headers = parser.Headers();
        reply.body = parser.Body();
        return true;
    }
}

bool HttpClient::TimeLeft(const Exchange& ex, uint32_t& timeoutMs) {
    if (ex.progress && ex.progress->ShouldStop()) return Fail("stopped");
    uint64_t now = clock_.NowMs();
    if (now >= ex.deadline) return Fail("exchange took too long");
    uint64_t left = ex.deadline - now;
    timeoutMs = left < limits_.opTimeoutMs ? static_cast<uint32_t>(left) : limits_.opTimeoutMs;
    return true;
}

bool HttpClient::EnsureConnected(Exchange& ex) {
    if (connected_ && connectedTo_.host == ex.target.host && connectedTo_.port == ex.target.port) return true;
    Close();
    uint32_t timeout = 0;
    if (!TimeLeft(ex, timeout)) return false;
    IoStatus status = transport_.Connect(ex.target.host, ex.target.port, timeout);
    if (status != IoStatus::Ok)
        return Fail(status == IoStatus::TimedOut ? "connect timed out" : "could not connect");
    connected_ = true;
    connectedTo_ = ex.target;
    return true;
}

bool HttpClient::SendAll(const char* data, size_t size, Exchange& ex) {
    uint32_t timeout = 0;
    if (!TimeLeft(ex, timeout)) return false;
    IoStatus status = transport_.Send(data, size, timeout);
    if (status == IoStatus::Ok) return true;
    Close();
    if (status == IoStatus::TimedOut && clock_.NowMs() >= ex.deadline) return Fail("exchange took too long");
    return Fail(status == IoStatus::TimedOut ? "send timed out" : "send failed");
}

bool HttpClient::SendRequest(const HttpRequest& request, Exchange& ex) {
    RequestHeadFields fields;
    fields.method = request.method;
    fields.pathAndQuery = ex.target.pathAndQuery;
    fields.host = ex.target.host;
    fields.contentType = request.contentType;
    fields.contentLength = request.bodySize;
    fields.authField = ex.authField;
    fields.authValue = ex.authValue;
    std::string head;
    if (!BuildRequestHead(fields, head)) return Fail("request head would carry unsafe text");
    if (request.progress) request.progress->OnRequestStart();
    if (!SendAll(head.data(), head.size(), ex)) return false;
    if (request.progress) request.progress->OnSent(head.size());
    for (size_t offset = 0; offset < request.bodySize;) {
        size_t block = request.bodySize - offset;
        if (block > limits_.sendBlockBytes) block = limits_.sendBlockBytes;
        if (!SendAll(request.body + offset, block, ex)) return false;
        offset += block;
        if (request.progress) request.progress->OnSent(block);
    }
    return true;
}

// Waits for reply bytes in short slices so that an owner who stops the
// upload (deleting the uploader, say) is not kept waiting for a silent server
// for the whole operation time-out. A stop shows as TimedOut here; the next
// TimeLeft reports it.
IoStatus HttpClient::ReceiveStoppable(Exchange& ex, std::vector<char>& buffer, size_t& received, uint32_t timeout) {
    for (;;) {
        const uint32_t slice = timeout < kStopPollMs ? timeout : kStopPollMs;
        IoStatus status = transport_.Receive(buffer.data(), buffer.size(), received, slice);
        if (status != IoStatus::TimedOut || slice == timeout) return status;
        if (ex.progress && ex.progress->ShouldStop()) return status;
        timeout -= slice;
    }
}

bool HttpClient::ReadReply(Exchange& ex, HttpReplyParser& parser) {
    std::vector<char> buffer(limits_.readBlockBytes);
    while (!parser.Complete() && !parser.Failed()) {
        uint32_t timeout = 0;
        if (!TimeLeft(ex, timeout)) return false;
        size_t received = 0;
        IoStatus status = ReceiveStoppable(ex, buffer, received, timeout);
        if (status == IoStatus::Closed) {
            connected_ = false;
            parser.FinishAtEof();
        } else if (status != IoStatus::Ok) {
            Close();
            if (ex.progress && ex.progress->ShouldStop()) return Fail("stopped");
            if (status == IoStatus::TimedOut && clock_.NowMs() >= ex.deadline) return Fail("exchange took too long");
            return Fail(status == IoStatus::TimedOut ? "reply timed out" : "receive failed");
        } else if (parser.Feed(buffer.data(), received) < received && parser.Complete()) {
            Close();  // bytes after the reply: the connection is out of step
        }
    }
    if (parser.Failed()) {
        Close();
        return Fail(parser.Error());
    }
    return true;
}

// Answers a 401 or 407 with the first offered scheme that is registered.
// again stays false when nothing answers: the challenge reply is final.
bool HttpClient::Answer(const HttpReplyParser& parser, Exchange& ex, bool& again) {
    const bool proxy = parser.Status() == 407;
    if (parser.Status() != 401 && !proxy) return true;
    const auto challenges = ParseChallenges(parser.Headers().FindAll(proxy ? "Proxy-Authenticate" : "WWW-Authenticate"));
    for (const auto& challenge : challenges) {
        for (auto& entry : schemes_) {
            if (!EqualsNoCase(entry.first, challenge.scheme)) continue;
            AuthScheme* scheme = entry.second;
            const bool continuing = scheme == ex.lastScheme;
            std::string value;
            if (!scheme->Answer(challenge.params, value)) return true;
            if (++ex.authSteps > limits_.maxAuthSteps) return Fail("too many authentication steps");
            if (continuing && scheme->BoundToConnection() && !connected_)
                return Fail("server closed the connection during authentication");
            ex.lastScheme = scheme;
            ex.authField = proxy ? "Proxy-Authorization" : "Authorization";
            ex.authValue = value;
            again = true;
            return true;
        }
    }
    return true;
}

bool HttpClient::Redirect(const HttpReplyParser& parser, Exchange& ex, bool& again) {
    const int status = parser.Status();
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) return true;
    const std::string* location = parser.Headers().Find("Location");
    if (!location) return true;
    if (++ex.redirects > limits_.maxRedirects) return Fail("too many redirects");
    HttpTarget next;
    if (!ResolveLocation(ex.target, *location, next)) return Fail("redirect to an unusable address");
    // The request is repeated as it was, body included, at the new address,
    // on a fresh connection and without the old authorization.
    Close();
    ex.target = next;
    ex.authField.clear();
    ex.authValue.clear();
    ex.lastScheme = nullptr;
    for (auto& entry : schemes_) entry.second->Reset();
    again = true;
    return true;
}

bool HttpClient::Fail(const std::string& why) {
    error_ = why;
    return false;
}

}  // namespace Http
}  // namespace Corvane

#pragma once
// A small blocking HTTP/1.1 client for one upload: sends a request with a body
// in blocks, reports every piece sent, follows redirects to other http
// addresses, answers 401/407 challenges with the registered schemes, and
// reads the reply within fixed bounds.
//
// Bounds against servers that never finish: each connect, send and receive
// waits at most opTimeoutMs; the whole navigation (every request, redirect
// and authentication step) must end within exchangeTimeoutMs; the reply head
// and body are bounded by ReplyLimits.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "upload/http/HttpAuth.h"
#include "upload/http/HttpReplyParser.h"
#include "upload/http/HttpTarget.h"
#include "upload/http/HttpTransport.h"

namespace Corvane {
namespace Http {

struct ClientLimits {
    uint32_t opTimeoutMs = 10000;
    uint32_t exchangeTimeoutMs = 300000;
    ReplyLimits reply;
    int maxRedirects = 5;
    int maxAuthSteps = 4;
    size_t sendBlockBytes = 4096;
    size_t readBlockBytes = 4096;
};

// Told about every piece of a request that went out, and asked before every
// transport operation whether the owner wants the exchange abandoned.
class SendProgress {
public:
    virtual ~SendProgress() = default;
    virtual bool ShouldStop() { return false; }
    // A new request (first, redirected or authenticating) starts.
    virtual void OnRequestStart() {}
    // count bytes went out: the head once, then each body block.
    virtual void OnSent(size_t count) = 0;
};

struct HttpRequest {
    std::string method = "POST";
    std::string url;
    std::string contentType;
    const char* body = nullptr;
    size_t bodySize = 0;
    SendProgress* progress = nullptr;  // optional
};

struct HttpReply {
    int status = 0;
    HttpHeaders headers;
    std::string body;
};

class HttpClient {
public:
    // Longest wait for reply bytes before the owner's stop request is checked.
    static constexpr uint32_t kStopPollMs = 200;

    // transport and clock must outlive the client.
    HttpClient(HttpTransport& transport, const HttpClock& clock, const ClientLimits& limits = ClientLimits());
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Registers a scheme (not owned) under a name compared without case.
    void AddAuthScheme(const std::string& name, AuthScheme* scheme);

    // Runs the exchange. True when a final reply was read (whatever its
    // status); false on any transport failure, bound or malformed reply,
    // with the reason in LastError().
    bool Navigate(const HttpRequest& request, HttpReply& reply);
    const std::string& LastError() const { return error_; }
    void Close();

private:
    struct Exchange;
    bool SendRequest(const HttpRequest& request, Exchange& ex);
    bool ReadReply(Exchange& ex, HttpReplyParser& parser);
    IoStatus ReceiveStoppable(Exchange& ex, std::vector<char>& buffer, size_t& received, uint32_t timeout);
    bool Answer(const HttpReplyParser& parser, Exchange& ex, bool& answered);
    bool EnsureConnected(Exchange& ex);
    bool SendAll(const char* data, size_t size, Exchange& ex);
    bool Redirect(const HttpReplyParser& parser, Exchange& ex, bool& redirected);
    // The time-out for the next operation, or false when the exchange is out
    // of time or its owner stopped it.
    bool TimeLeft(const Exchange& ex, uint32_t& timeoutMs);
    bool Fail(const std::string& why);

    HttpTransport& transport_;
    const HttpClock& clock_;
    ClientLimits limits_;
    std::vector<std::pair<std::string, AuthScheme*>> schemes_;
    bool connected_ = false;
    HttpTarget connectedTo_;
    std::string error_;
};

}  // namespace Http
}  // namespace Corvane

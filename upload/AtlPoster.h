#pragma once
// The socket uploader: sends the multipart request over a plain TCP
// connection with the blocking client of upload/http, reports the head and
// every 4096-byte body block, follows redirects and answers Basic or NTLM
// challenges when SetAuthType asked for them.
#include <functional>
#include <memory>

#include "upload/HttpPoster.h"
#include "upload/http/HttpClient.h"

class AtlPoster : public HttpPoster {
public:
    // The request head is not known when the total is set; this estimate of
    // its size is added to the body size so that the percentage ends close
    // to 100 once the head has been counted into sent.
    static const uint32_t kHeadAllowance = 205;

    // What an upload needs from the platform. Tests supply fakes.
    struct Platform {
        std::function<std::unique_ptr<Corvane::Http::HttpTransport>()> makeTransport;
        Corvane::Http::SecurityContextFactory makeSecurityContext;
        std::shared_ptr<const Corvane::Http::HttpClock> clock;  // null: the steady clock
        Corvane::Http::ClientLimits limits;  // 10000 ms per operation by default
    };

    // Winsock connections and the logged-on user's SSPI credentials.
    AtlPoster();
    explicit AtlPoster(Platform platform);
    // Stops a running upload and waits for its worker.
    ~AtlPoster() override;

    void Post(PxFile* stream, const PxString& fileName) override;

protected:
    void Run() override;

private:
    class Progress;
    void RegisterSchemes(Corvane::Http::HttpClient& client, Corvane::Http::BasicAuth& basic,
                         Corvane::Http::NtlmAuth& ntlm);
    void Report(const Corvane::Http::HttpReply& reply);

    Platform platform_;
};

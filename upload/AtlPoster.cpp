#include "upload/AtlPoster.h"

#include <type_traits>

#include "support/Convert.h"

using namespace Corvane::Http;

namespace {

// The reply text in the flavour's string type (Pixmend reads it as ANSI).
template <typename Text = PxString>
Text ResponseText(const std::string& bytes) {
    if constexpr (std::is_same<Text, std::string>::value)
        return bytes;
    else
        return MultiByteToWide(bytes, false);
}

}  // namespace

// Counts what the client sends into the uploader's progress. A repeated
// request (redirect or authentication step) starts the count again, so the
// percentage follows the request actually under way instead of passing 100.
class AtlPoster::Progress : public SendProgress {
public:
    explicit Progress(AtlPoster& owner) : owner_(owner) {}
    void OnRequestStart() override { owner_.sent_ = 0; }
    void OnSent(size_t count) override {
        owner_.sent_ += static_cast<uint32_t>(count);
        owner_.RaiseProgress(0, static_cast<int>(owner_.sent_.load()), FormatByteSize(static_cast<double>(count)));
    }
    bool ShouldStop() override { return owner_.IsStopped(); }

private:
    AtlPoster& owner_;
};

AtlPoster::AtlPoster(Platform platform) : platform_(std::move(platform)) {}

AtlPoster::~AtlPoster() { WaitForWorker(); }

void AtlPoster::Post(PxFile* stream, const PxString& fileName) { StartUpload(stream, fileName); }

void AtlPoster::RegisterSchemes(HttpClient& client, BasicAuth& basic, NtlmAuth& ntlm) {
    // No user name or password is configured anywhere, so a Basic challenge
    // is declined and its 401 reply ends the upload as a failure.
    if (GetAuthType() == PX_TEXT("basic"))
        client.AddAuthScheme("BASIC", &basic);
    else if (GetAuthType() == PX_TEXT("ntlm"))
        client.AddAuthScheme("NTLM", &ntlm);
}

void AtlPoster::Run() {
    FieldsData body;
    if (!AssembleBody(body)) {
        RaiseError(kErrorRequest);
        return;
    }
    total_ = static_cast<uint32_t>(body.GetSize()) + kHeadAllowance;

    PxString url = GetUrl();
    ReplaceAll(url, PX_TEXT("localhost"), PX_TEXT("127.0.0.1"));
    SetUrl(url);

    std::unique_ptr<HttpTransport> transport = platform_.makeTransport ? platform_.makeTransport() : nullptr;
    if (!transport) {
        RaiseError(kErrorRequest);
        return;
    }
    // Name lookup, connect and send give up within a fraction of a second of
    // a stop, so deleting the uploader never waits for their time-outs.
    transport->SetStopCheck([this] { return IsStopped(); });
    const HttpClock steady;
    HttpClient client(*transport, platform_.clock ? *platform_.clock : steady, platform_.limits);
    BasicAuth basic;
    NtlmAuth ntlm(platform_.makeSecurityContext);
    RegisterSchemes(client, basic, ntlm);

    Progress progress(*this);
    HttpRequest request;
    request.url = ToBodyBytes(url);
    request.contentType = "multipart/form-data;boundary=" + ToBodyBytes(PxString(kHttpBoundary));
    request.body = body.GetBuffer();
    request.bodySize = body.GetSize();
    request.progress = &progress;
    HttpReply reply;
    const bool navigated = client.Navigate(request, reply);
    client.Close();
    if (!navigated) {
        RaiseError(kErrorRequest);  // the response keeps its previous text
        return;
    }
    Report(reply);
}

void AtlPoster::Report(const HttpReply& reply) {
    // The reply is text up to its first zero byte.
    const std::string text = reply.body.substr(0, reply.body.find('\0'));
    if (FlavourTraits::kKeepsFailedReplyText || reply.status == 200) SetResponse(ResponseText(text));
    if (reply.status == 200)
        RaiseComplete();
    else
        RaiseError(kErrorRequest);
}

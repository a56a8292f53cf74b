// The socket uploader over a scripted transport, natively under the
// sanitizers: body and total, progress pieces, the response per flavour, the
// count across an authentication handshake, and one final event per upload.
// The same uploader runs against real sockets in SocketUploadTest_win.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "FakeTransport.h"
#include "image/PxFile.h"
#include "support/Convert.h"
#include "upload/AtlPoster.h"
#include "upload/http/Base64.h"

using namespace Corvane::Http;
using Corvane::Http::Testing::FakeClock;
using Corvane::Http::Testing::FakeTransport;
using Corvane::Http::Testing::ScriptedConnection;
using Corvane::Http::Testing::BorrowedTransport;

namespace {

PxString Px(const std::string& text) { return PxString(text.begin(), text.end()); }
std::string Bytes(const PxString& text) { return ToBodyBytes(text); }

struct Sink : HttpPosterEvent {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> finals;
    std::vector<int> sentFigures;
    std::vector<std::string> pieceTexts;
    std::vector<std::string> percents;
    HttpPoster* poster = nullptr;

    void OnPostComplete(int reserved) override { Final("complete " + std::to_string(reserved)); }
    void OnPostError(int reserved, int code) override {
        Final("error " + std::to_string(reserved) + " " + std::to_string(code));
    }
    void OnPostProgress(int tag, int sent, PxString text) override {
        std::lock_guard<std::mutex> hold(mutex);
        EXPECT_EQ(0, tag);
        sentFigures.push_back(sent);
        pieceTexts.push_back(Bytes(text));
        percents.push_back(Bytes(poster->GetPercentText()));
    }
    void Final(const std::string& what) {
        std::lock_guard<std::mutex> hold(mutex);
        finals.push_back(what);
        changed.notify_all();
    }
    size_t FinalCount() {
        std::lock_guard<std::mutex> hold(mutex);
        return finals.size();
    }
    bool WaitFinal(size_t before) {
        std::unique_lock<std::mutex> hold(mutex);
        return changed.wait_for(hold, std::chrono::seconds(20), [&] { return finals.size() > before; });
    }
};

struct AtlPosterFixture : ::testing::Test {
    FakeClock clock;
    std::unique_ptr<FakeTransport> prepared{new FakeTransport(clock)};
    FakeTransport* transport = prepared.get();
    std::string challenge;
    Sink sink;
    std::vector<uint8_t> image = std::vector<uint8_t>(3000, 0x5A);
    PxMemFile stream{image.data(), static_cast<uint32_t>(image.size())};

    std::unique_ptr<AtlPoster> Make(const std::string& url, const std::string& authType = std::string()) {
        AtlPoster::Platform platform;
        transport = prepared.get();
        platform.makeTransport = [this] { return std::unique_ptr<HttpTransport>(new BorrowedTransport(*transport)); };
        platform.makeSecurityContext = [this] { return std::unique_ptr<SecurityContext>(new Ntlm(&challenge)); };
        std::unique_ptr<AtlPoster> poster(new AtlPoster(platform));
        poster->SetEventSink(&sink);
        poster->SetUrl(Px(url));
        if (!authType.empty()) poster->SetAuthType(Px(authType));
        sink.poster = poster.get();
        return poster;
    }
    void Upload(AtlPoster& poster) {
        poster.GetForm().ClearFields();
        poster.GetForm().AddField(PX_TEXT("user"), PX_TEXT("ann"));
        const size_t before = sink.FinalCount();
        poster.Post(&stream, PX_TEXT("img.jpg"));
        ASSERT_TRUE(sink.WaitFinal(before));
    }

    class Ntlm : public SecurityContext {
    public:
        explicit Ntlm(std::string* seen) : seen_(seen) {}
        bool Step(const std::string& server, std::string& client) override {
            client = server.empty() ? "NEGOTIATE" : "AUTHENTICATE";
            if (!server.empty()) *seen_ = server;
            return true;
        }

    private:
        std::string* seen_;
    };
};

TEST_F(AtlPosterFixture, UploadReportsHeadAndBlocksAgainstBodyPlus205) {
    prepared->Script().replies.push_back(std::string("HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nthanks\0tail", 50));
    auto poster = Make("http://upload.example/in.php?x=1");
    Upload(*poster);
    ASSERT_EQ((std::vector<std::string>{"complete 0"}), sink.finals);
    const std::string& sent = transport->Connection(0).sent;
    const size_t headEnd = sent.find("\r\n\r\n") + 4;
    const size_t bodySize = sent.size() - headEnd;
    EXPECT_EQ(bodySize + 205, poster->GetTotal());
    EXPECT_EQ(0u, sent.find("POST /in.php?x=1 HTTP/1.1\r\nContent-Length: " + std::to_string(bodySize) +
                            "\r\nContent-Type: multipart/form-data;boundary=---------------------------7da1d41060a1a\r\n"
                            "Host: upload.example\r\nUser-Agent: Microsoft-ATL-Native/9.00\r\n\r\n"));
    EXPECT_NE(std::string::npos, sent.find("name=\"user\"\r\n\r\nann\r\n"));
    EXPECT_NE(std::string::npos, sent.find(std::string(3000, 'Z') + "\r\n-----------------------------7da1d41060a1a--\r\n"));
    // Head first, then blocks of at most 4096 bytes, each reported with its own size.
    ASSERT_EQ(2u, sink.sentFigures.size()) << "3000-byte image: head plus one block";
    EXPECT_EQ(static_cast<int>(headEnd), sink.sentFigures[0]);
    EXPECT_EQ(static_cast<int>(sent.size()), sink.sentFigures[1]);
    EXPECT_EQ(Bytes(FormatByteSize(static_cast<double>(headEnd))), sink.pieceTexts[0]);
    EXPECT_EQ(Bytes(FormatByteSize(static_cast<double>(bodySize))), sink.pieceTexts[1]);
    const std::string expectedPercent = std::to_string(sent.size() * 100 / (bodySize + 205)) + "%";
    EXPECT_EQ(expectedPercent, sink.percents.back());
    EXPECT_EQ("thanks", Bytes(poster->GetResponse())) << "text ends at the first zero byte";
}

TEST_F(AtlPosterFixture, ErrorStatusKeepsTheReplyOnlyInNpPixmend) {
    prepared->Script().replies.push_back("HTTP/1.1 500 Oops\r\nContent-Length: 6\r\n\r\nbroken");
    auto poster = Make("http://h/");
    Upload(*poster);
    EXPECT_EQ((std::vector<std::string>{"error 0 1"}), sink.finals);
    EXPECT_EQ(FlavourTraits::kKeepsFailedReplyText ? "broken" : "", Bytes(poster->GetResponse()));
}

TEST_F(AtlPosterFixture, AValueCarryingTheBoundaryIsNeverSent) {
    prepared->Script().replies.push_back("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    auto poster = Make("http://h/");
    poster->GetForm().AddField(PX_TEXT("note"), Px("x\r\n--" + Bytes(kHttpBoundary) + "\r\nContent-Disposition: form-data; name=\"admin\"\r\n\r\n1"));
    const size_t before = sink.FinalCount();
    poster->Post(&stream, PX_TEXT("img.jpg"));
    ASSERT_TRUE(sink.WaitFinal(before));
    EXPECT_EQ((std::vector<std::string>{"error 0 1"}), sink.finals);
    EXPECT_TRUE(transport->connects.empty());
}

TEST_F(AtlPosterFixture, FailedNavigationKeepsThePreviousResponse) {
    prepared->Script().replies.push_back("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfirst");
    prepared->Script().connectResult = IoStatus::Failed;
    auto owned = Make("http://h/");
    AtlPoster& poster = *owned;
    Upload(poster);
    Upload(poster);
    EXPECT_EQ((std::vector<std::string>{"complete 0", "error 0 1"}), sink.finals);
    EXPECT_EQ("first", Bytes(poster.GetResponse()));
}

TEST_F(AtlPosterFixture, NtlmAuthTypeRunsTheHandshakeAndRestartsTheCount) {
    ScriptedConnection& c = prepared->Script();
    c.replies.push_back("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: NTLM\r\nContent-Length: 0\r\n\r\n");
    c.replies.push_back("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: NTLM " + Base64Encode("CHALLENGE") +
                        "\r\nContent-Length: 0\r\n\r\n");
    c.replies.push_back("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    auto poster = Make("http://h/", "NtLm");
    Upload(*poster);
    EXPECT_EQ((std::vector<std::string>{"complete 0"}), sink.finals);
    EXPECT_EQ("CHALLENGE", challenge);
    const std::string& sent = c.sent;
    size_t negotiate = sent.find("Authorization: NTLM " + Base64Encode("NEGOTIATE") + "\r\n");
    size_t response = sent.find("Authorization: NTLM " + Base64Encode("AUTHENTICATE") + "\r\n");
    ASSERT_NE(std::string::npos, negotiate);
    ASSERT_NE(std::string::npos, response);
    EXPECT_LT(negotiate, response);
    EXPECT_LE(poster->GetSent(), poster->GetTotal() + 64) << "three requests, but the count follows the last";
    const int last = std::stoi(sink.percents.back());
    EXPECT_GE(last, 95);
    EXPECT_LE(last, 105);
}

}  // namespace

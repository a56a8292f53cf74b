// The socket client over a scripted transport: what goes on the wire, how
// replies end, redirects, authentication, and the bounds against servers
// that misbehave.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FakeTransport.h"
#include "upload/http/Base64.h"
#include "upload/http/HttpClient.h"

using namespace Corvane::Http;
using Corvane::Http::Testing::FakeClock;
using Corvane::Http::Testing::FakeTransport;
using Corvane::Http::Testing::ScriptedConnection;

namespace {

const char kOk[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

class Recorder : public SendProgress {
public:
    void OnRequestStart() override { ++starts; }
    void OnSent(size_t count) override { pieces.push_back(count); }
    bool ShouldStop() override { return stop || ++stopChecks > stopAfter; }
    int starts = 0;
    int stopChecks = 0;
    int stopAfter = 1 << 30;
    std::vector<size_t> pieces;
    bool stop = false;
};

struct ClientFixture : ::testing::Test {
    FakeClock clock;
    FakeTransport transport{clock};
    ClientLimits limits;
    Recorder progress;
    std::string body;
    HttpReply reply;

    HttpRequest Request(const std::string& url, size_t bodySize = 3000) {
        body.assign(bodySize, 'b');
        for (size_t i = 0; i < bodySize; ++i) body[i] = static_cast<char>('a' + i % 26);
        HttpRequest r;
        r.url = url;
        r.contentType = "multipart/form-data;boundary=B";
        r.body = body.data();
        r.bodySize = body.size();
        r.progress = &progress;
        return r;
    }
    ScriptedConnection& Serve(const std::string& text) {
        ScriptedConnection& c = transport.Script();
        c.replies.push_back(text);
        return c;
    }
    static std::string Head(const std::string& path, const std::string& host, size_t length,
                            const std::string& auth = std::string()) {
        return "POST " + path + " HTTP/1.1\r\nContent-Length: " + std::to_string(length) +
               "\r\nContent-Type: multipart/form-data;boundary=B\r\n" + auth + "Host: " + host +
               "\r\nUser-Agent: Microsoft-ATL-Native/9.00\r\n\r\n";
    }
};

TEST_F(ClientFixture, WritesHeadThenBodyInBlocksAndReportsEachPiece) {
    Serve(kOk);
    HttpClient client(transport, clock, limits);
    ASSERT_TRUE(client.Navigate(Request("http://up.example:8080/a/b?c=d", 10000), reply)) << client.LastError();
    EXPECT_EQ(200, reply.status);
    EXPECT_EQ("ok", reply.body);
    const std::string head = Head("/a/b?c=d", "up.example", 10000);
    EXPECT_EQ(head + body, transport.Connection(0).sent);
    EXPECT_EQ((std::vector<std::string>{"up.example:8080"}), transport.connects);
    EXPECT_EQ((std::vector<size_t>{head.size(), 4096, 4096, 1808}), progress.pieces);
    EXPECT_EQ(progress.pieces, transport.Connection(0).sendSizes);
    EXPECT_EQ(1, progress.starts);
}

TEST_F(ClientFixture, ChunkedReplyKeepsTheConnection) {
    Serve("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n");
    HttpClient client(transport, clock, limits);
    ASSERT_TRUE(client.Navigate(Request("http://h/"), reply)) << client.LastError();
    EXPECT_EQ("abc", reply.body);
    EXPECT_TRUE(transport.open);
}

TEST_F(ClientFixture, CloseDelimitedAndErrorStatuses) {
    Serve("HTTP/1.0 200 OK\r\n\r\nuntil close");
    Serve("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\n\r\nfail");
    HttpClient client(transport, clock, limits);
    ASSERT_TRUE(client.Navigate(Request("http://h/"), reply)) << client.LastError();
    EXPECT_EQ("until close", reply.body);
    ASSERT_TRUE(client.Navigate(Request("http://h/"), reply)) << client.LastError();
    EXPECT_EQ(500, reply.status);
    EXPECT_EQ("fail", reply.body);
    EXPECT_EQ(2u, transport.connects.size()) << "the close-delimited reply used its connection up";
}

TEST_F(ClientFixture, RedirectIsFollowedWithTheSameRequest) {
    Serve("HTTP/1.1 302 Found\r\nLocation: http://second:81/new?x=1\r\nContent-Length: 3\r\n\r\nbye");
    Serve(kOk);
    HttpClient client(transport, clock, limits);
    ASSERT_TRUE(client.Navigate(Request("http://first/old"), reply)) << client.LastError();
    EXPECT_EQ(200, reply.status);
    EXPECT_EQ((std::vector<std::string>{"first:80", "second:81"}), transport.connects);
    EXPECT_EQ(Head("/new?x=1", "second", 3000) + body, transport.Connection(1).sent);
    EXPECT_EQ(2, progress.starts);
}

TEST_F(ClientFixture, RedirectLoopIsStopped) {
    for (int i = 0; i <= limits.maxRedirects + 2; ++i) Serve("HTTP/1.1 301 Moved\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n");
    HttpClient client(transport, clock, limits);
    EXPECT_FALSE(client.Navigate(Request("http://h/loop"), reply));
    EXPECT_EQ("too many redirects", client.LastError());
    EXPECT_EQ(static_cast<size_t>(limits.maxRedirects + 1), transport.connects.size());
}

TEST_F(ClientFixture, RedirectToAnotherSchemeOrUnsafeLocationFails) {
    Serve("HTTP/1.1 302 Found\r\nLocation: https://h/secure\r\nContent-Length: 0\r\n\r\n");
    HttpClient client(transport, clock, limits);
    EXPECT_FALSE(client.Navigate(Request("http://h/"), reply));
    EXPECT_EQ("redirect to an unusable address", client.LastError());
    Serve("HTTP/1.1 302 Found\r\nLocation: \r\nContent-Length: 0\r\n\r\n");
    EXPECT_FALSE(client.Navigate(Request("http://h/"), reply));
}

TEST_F(ClientFixture, RedirectWithoutLocationIsFinal) {
    Serve("HTTP/1.1 302 Found\r\nContent-Length: 1\r\n\r\nx");
    HttpClient client(transport, clock, limits);
    ASSERT_TRUE(client.Navigate(Request("http://h/"), reply));
    EXPECT_EQ(302, reply.status);
}

TEST_F(ClientFixture, TransportFailuresFailTheNavigation) {
    transport.Script().connectResult = IoStatus::Failed;
    transport.Script().connectResult = IoStatus::TimedOut;
    Serve("HTTP/1.1 200 OK\r\n").afterReplies = IoStatus::TimedOut;
    Serve("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial").afterReplies = IoStatus::Failed;
    Serve("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");  // then closed
    Serve(kOk).sendResult = IoStatus::Failed;
    HttpClient client(transport, clock, limits);
    const char* expected[] = {"could not connect", "connect timed out", "reply timed out", "receive failed",
                              "connection closed before the reply was complete", "send failed"};
    for (const char* why : expected) {
        EXPECT_FALSE(client.Navigate(Request("http://h/"), reply));
        EXPECT_EQ(why, client.LastError());
    }
}

TEST_F(ClientFixture, DrippingReplyIsCutByTheExchangeDeadline) {
    limits.exchangeTimeoutMs = 5000;
    ScriptedConnection& c = transport.Script();
    for (char ch : std::string("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n") + std::string(100, 'd'))
        c.replies.push_back(std::string(1, ch));
    c.msPerReceive = 1000;  // one byte a second, always inside the per-operation time-out
    HttpClient client(transport, clock, limits);
    EXPECT_FALSE(client.Navigate(Request("http://h/"), reply));
    EXPECT_EQ("exchange took too long", client.LastError());
    EXPECT_LE(clock.now, 1000u + 5000u + 1000u);
}

TEST_F(ClientFixture, EndlessReplyIsCutByTheBodyBound) {
    limits.reply.maxBodyBytes = 64 * 1024;
    Serve("HTTP/1.1 200 OK\r\n\r\n").endless = true;
    HttpClient client(transport, clock, limits);
    EXPECT_FALSE(client.Navigate(Request("http://h/"), reply));
    EXPECT_EQ("reply body too large", client.LastError());
}

TEST_F(ClientFixture, UnsafeUrlsSendNothing) {
    HttpClient client(transport, clock, limits);
    for (const char* url : {"http://h/up\r\nX-Evil: 1", "http://h\n/", "https://h/", "not a url"}) {
        EXPECT_FALSE(client.Navigate(Request(url), reply)) << url;
        EXPECT_EQ("unusable URL", client.LastError());
    }
    EXPECT_TRUE(transport.connects.empty());
}

TEST_F(ClientFixture, StopRequestEndsTheExchange) {
    Serve(kOk);
    progress.stop = true;
    HttpClient client(transport, clock, limits);
    EXPECT_FALSE(client.Navigate(Request("http://h/"), reply));
    EXPECT_EQ("stopped", client.LastError());
}

TEST_F(ClientFixture, StopIsNoticedWhileWaitingForASilentServer) {
    transport.Script().afterReplies = IoStatus::TimedOut;
    progress.stopAfter = 4;  // connect, head, one body block, first reply wait
    HttpClient client(transport, clock, limits);
    EXPECT_FALSE(client.Navigate(Request("http://h/", 100), reply));
    EXPECT_EQ("stopped", client.LastError());
    EXPECT_EQ(1, transport.Connection(0).receives) << "one slice, not the whole time-out";

    transport.Script().afterReplies = IoStatus::TimedOut;
    progress.stopAfter = 1 << 30;
    EXPECT_FALSE(client.Navigate(Request("http://h/", 100), reply));
    EXPECT_EQ("reply timed out", client.LastError());
    EXPECT_EQ(static_cast<int>(limits.opTimeoutMs / HttpClient::kStopPollMs), transport.Connection(1).receives);
}

TEST_F(ClientFixture, BasicChallengeWithoutCredentialsIsFinal) {
    Serve("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"up\"\r\nContent-Length: 6\r\n\r\ndenied");
    BasicAuth basic;
    HttpClient client(transport, clock, limits);
    client.AddAuthScheme("BASIC", &basic);
    ASSERT_TRUE(client.Navigate(Request("http://h/"), reply));
    EXPECT_EQ(401, reply.status);
    EXPECT_EQ("denied", reply.body);
    EXPECT_EQ(1, progress.starts);
}

TEST_F(ClientFixture, BasicChallengeWithCredentialsRepeatsTheRequestOnce) {
    ScriptedConnection& c = Serve("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: basic realm=\"up\"\r\nContent-Length: 0\r\n\r\n");
    c.replies.push_back("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"up\"\r\nContent-Length: 0\r\n\r\n");
    BasicAuth basic("u", "p");
    HttpClient client(transport, clock, limits);
    client.AddAuthScheme("BASIC", &basic);
    ASSERT_TRUE(client.Navigate(Request("http://h/", 10), reply));
    EXPECT_EQ(401, reply.status) << "refused credentials are not retried";
    EXPECT_EQ(Head("/", "h", 10) + body + Head("/", "h", 10, "Authorization: Basic dTpw\r\n") + body, c.sent);
}

// A fake security context: fixed tokens, records the server's challenge.
class FakeNtlm : public SecurityContext {
public:
    explicit FakeNtlm(std::string* challenge) : challenge_(challenge) {}
    bool Step(const std::string& server, std::string& client) override {
        client = server.empty() ? "negotiate-token" : "response-token";
        if (!server.empty()) *challenge_ = server;
        return true;
    }

private:
    std::string* challenge_;
};

struct NtlmClient : ClientFixture {
    std::string challenge;
    NtlmAuth ntlm{[this] { return std::unique_ptr<SecurityContext>(new FakeNtlm(&challenge)); }};
    const std::string bare = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Negotiate\r\nWWW-Authenticate: NTLM\r\nContent-Length: 0\r\n\r\n";
    std::string Challenge(const char* extra = "") {
        return "HTTP/1.1 401 Unauthorized\r\n" + std::string(extra) + "WWW-Authenticate: NTLM " +
               Base64Encode("server-challenge") + "\r\nContent-Length: 5\r\n\r\nagain";
    }
};

TEST_F(NtlmClient, HandshakeRunsOnOneConnectionWithHeadersInOrder) {
    ScriptedConnection& c = Serve(bare);
    c.replies.push_back(Challenge());
    c.replies.push_back(kOk);
    HttpClient client(transport, clock, limits);
    client.AddAuthScheme("NTLM", &ntlm);
    ASSERT_TRUE(client.Navigate(Request("http://h/up", 20), reply)) << client.LastError();
    EXPECT_EQ(200, reply.status);
    EXPECT_EQ("server-challenge", challenge);
    EXPECT_EQ(1u, transport.connects.size());
    EXPECT_EQ(Head("/up", "h", 20) + body +
                  Head("/up", "h", 20, "Authorization: NTLM " + Base64Encode("negotiate-token") + "\r\n") + body +
                  Head("/up", "h", 20, "Authorization: NTLM " + Base64Encode("response-token") + "\r\n") + body,
              c.sent);
    EXPECT_EQ(3, progress.starts);
}

TEST_F(NtlmClient, ServerClosingAfterItsChallengeFails) {
    Serve(bare).replies.push_back(Challenge("Connection: close\r\n"));
    Serve(kOk);
    HttpClient client(transport, clock, limits);
    client.AddAuthScheme("NTLM", &ntlm);
    EXPECT_FALSE(client.Navigate(Request("http://h/up", 20), reply));
    EXPECT_EQ("server closed the connection during authentication", client.LastError());
}

TEST_F(NtlmClient, RefusedResponseIsFinalAndUnregisteredSchemesAreIgnored) {
    ScriptedConnection& c = Serve(bare);
    c.replies.push_back(Challenge());
    c.replies.push_back(bare);
    HttpClient client(transport, clock, limits);
    client.AddAuthScheme("NTLM", &ntlm);
    ASSERT_TRUE(client.Navigate(Request("http://h/up", 20), reply));
    EXPECT_EQ(401, reply.status);

    Serve(bare);
    HttpClient plain(transport, clock, limits);
    ASSERT_TRUE(plain.Navigate(Request("http://h/up", 20), reply));
    EXPECT_EQ(401, reply.status);
}

}  // namespace

// The socket uploader against a real server on 127.0.0.1 (socket_server.py,
// which runs this suite and passes its port in PIXMEND_TEST_SOCKET_PORT).
// Covers the wire format, progress, redirects, reply framings, every bound
// against a misbehaving server, authentication and CreatePoster's choice.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "image/PxFile.h"
#include "support/Convert.h"
#include "upload/AtlPoster.h"
#include "upload/WinINetPoster.h"
#include "upload/http/SspiContext.h"
#include "upload/http/WinsockTransport.h"

using namespace Corvane::Http;

namespace {

PxString Px(const std::string& text) { return PxString(text.begin(), text.end()); }
std::string Bytes(const PxString& text) { return ToBodyBytes(text); }

std::string Base(const std::string& path) {
    const char* port = std::getenv("PIXMEND_TEST_SOCKET_PORT");
    return std::string("http://127.0.0.1:") + (port ? port : "1") + path;
}

struct Sink : HttpPosterEvent {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> finals;
    std::vector<int> sentFigures;
    std::vector<std::string> percents;
    HttpPoster* poster = nullptr;

    void OnPostComplete(int reserved) override { Final("complete " + std::to_string(reserved)); }
    void OnPostError(int reserved, int code) override {
        Final("error " + std::to_string(reserved) + " " + std::to_string(code));
    }
    void OnPostProgress(int, int sent, PxString) override {
        std::lock_guard<std::mutex> hold(mutex);
        sentFigures.push_back(sent);
        percents.push_back(Bytes(poster->GetPercentText()));
    }
    void Final(const std::string& what) {
        std::lock_guard<std::mutex> hold(mutex);
        finals.push_back(what);
        changed.notify_all();
    }
};

class FakeNtlm : public SecurityContext {
public:
    bool Step(const std::string& server, std::string& client) override {
        client = server.empty() ? "NEGOTIATE" : "AUTHENTICATE:" + server;
        return true;
    }
};

class SocketUpload : public ::testing::Test {
protected:
    Sink sink;
    std::vector<uint8_t> image = std::vector<uint8_t>(3000, 0x5A);
    PxMemFile stream{image.data(), static_cast<uint32_t>(image.size())};
    AtlPoster::Platform platform;
    double seconds = 0;

    SocketUpload() {
        platform.makeTransport = [] { return std::unique_ptr<HttpTransport>(new WinsockTransport()); };
        platform.makeSecurityContext = [] { return std::unique_ptr<SecurityContext>(new FakeNtlm()); };
    }

    // Runs one upload to url and returns the one final event.
    std::string Upload(const std::string& url, const std::string& authType = std::string()) {
        AtlPoster poster(platform);
        return Run(poster, url, authType);
    }
    std::string Run(HttpPoster& poster, const std::string& url, const std::string& authType = std::string()) {
        sink.poster = &poster;
        poster.SetEventSink(&sink);
        poster.SetUrl(Px(url));
        if (!authType.empty()) poster.SetAuthType(Px(authType));
        poster.GetForm().ClearFields();
        poster.GetForm().AddIntField(PX_TEXT("width"), 40);
        poster.GetForm().AddIntField(PX_TEXT("height"), 30);
        auto start = std::chrono::steady_clock::now();
        poster.Post(&stream, PX_TEXT("img.jpg"));
        std::unique_lock<std::mutex> hold(sink.mutex);
        bool done = sink.changed.wait_for(hold, std::chrono::seconds(60), [this] { return !sink.finals.empty(); });
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        response = Bytes(poster.GetResponse());
        total = poster.GetTotal();
        return done ? sink.finals.front() : "no final event";
    }
    std::string Stats() {
        Sink quiet;
        AtlPoster poster(platform);
        quiet.poster = &poster;
        poster.SetEventSink(&quiet);
        poster.SetUrl(Px(Base("/stats")));
        poster.Post(&stream, PX_TEXT("img.jpg"));
        std::unique_lock<std::mutex> hold(quiet.mutex);
        quiet.changed.wait_for(hold, std::chrono::seconds(30), [&] { return !quiet.finals.empty(); });
        return Bytes(poster.GetResponse());
    }

    std::string response;
    uint32_t total = 0;
};

TEST_F(SocketUpload, RequestHeadByteForByteAndProgressAgainstBodyPlus205) {
    ASSERT_EQ("complete 0", Upload(Base("/echo?id=7")));
    const uint32_t bodySize = total - 205;
    const std::string head = "POST /echo?id=7 HTTP/1.1\r\nContent-Length: " + std::to_string(bodySize) +
                             "\r\nContent-Type: multipart/form-data;boundary=---------------------------7da1d41060a1a\r\n"
                             "Host: 127.0.0.1\r\nUser-Agent: Microsoft-ATL-Native/9.00\r\n\r\n";
    EXPECT_EQ(head + "body=" + std::to_string(bodySize), response);
    ASSERT_EQ(2u, sink.sentFigures.size());
    EXPECT_EQ(static_cast<int>(head.size()), sink.sentFigures[0]);
    EXPECT_EQ(static_cast<int>(head.size() + bodySize), sink.sentFigures[1]);
    EXPECT_EQ(std::to_string((head.size() + bodySize) * 100 / (bodySize + 205)) + "%", sink.percents.back());
}

TEST_F(SocketUpload, LargeBodyProgressesInBlocksOfAtMost4096) {
    image.assign(50000, 0x33);
    stream = PxMemFile(image.data(), static_cast<uint32_t>(image.size()));
    ASSERT_EQ("complete 0", Upload(Base("/echo")));
    ASSERT_GT(sink.sentFigures.size(), 13u);
    for (size_t i = 1; i < sink.sentFigures.size(); ++i) {
        EXPECT_GT(sink.sentFigures[i], sink.sentFigures[i - 1]);
        EXPECT_LE(sink.sentFigures[i] - sink.sentFigures[i - 1], 4096);
    }
}

TEST_F(SocketUpload, RedirectIsFollowedAndALoopIsStopped) {
    ASSERT_EQ("complete 0", Upload(Base("/redirect")));
    EXPECT_EQ(0u, response.find("POST /echo HTTP/1.1\r\n"));
    sink.finals.clear();
    EXPECT_EQ("error 0 1", Upload(Base("/loop")));
    sink.finals.clear();
    EXPECT_EQ("error 0 1", Upload(Base("/to-https")));
}

TEST_F(SocketUpload, ChunkedCloseDelimitedAndErrorReplies) {
    ASSERT_EQ("complete 0", Upload(Base("/chunked")));
    EXPECT_EQ("chunk-reply", response);
    sink.finals.clear();
    ASSERT_EQ("complete 0", Upload(Base("/close")));
    EXPECT_EQ("closed body", response);
    sink.finals.clear();
    EXPECT_EQ("error 0 1", Upload(Base("/fail")));
    EXPECT_EQ(FlavourTraits::kKeepsFailedReplyText ? "server error text" : "", response);
}

TEST_F(SocketUpload, SilentServerTimesOut) {
    platform.limits.opTimeoutMs = 700;  // the product waits 10000 ms
    EXPECT_EQ("error 0 1", Upload(Base("/silent")));
    EXPECT_LT(seconds, 5.0);
    EXPECT_GE(seconds, 0.6);
}

TEST_F(SocketUpload, DeletingThePosterDuringASilentWaitIsQuick) {
    auto poster = std::unique_ptr<AtlPoster>(new AtlPoster(platform));  // product time-out, 10000 ms
    poster->SetEventSink(&sink);
    sink.poster = poster.get();
    poster->SetUrl(Px(Base("/silent")));
    poster->Post(&stream, PX_TEXT("img.jpg"));
    Sleep(500);
    auto start = std::chrono::steady_clock::now();
    poster.reset();
    double wait = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(wait, 2.0);
    EXPECT_TRUE(sink.finals.empty()) << "a deleted poster reports nothing more";
}

int __stdcall SlowLookup(const char*, const char*, const ::addrinfo*, ::addrinfo** result) {
    Sleep(6000);  // a name server that does not answer
    *result = nullptr;
    return 11001;  // WSAHOST_NOT_FOUND
}

TEST_F(SocketUpload, DeletingThePosterWhileItResolvesConnectsOrSendsReturnsWithin2s) {
    const char* blackhole = std::getenv("PIXMEND_TEST_BLACKHOLE_PORT");
    ASSERT_NE(nullptr, blackhole);
    struct Case {
        const char* what;
        std::string url;
        NameLookup lookup;
        size_t imageBytes;
        DWORD runMs;  // how long the upload runs before the owner deletes it
    } cases[] = {
        {"resolving", "http://slow-name.example/echo", SlowLookup, 3000, 300},
        {"connecting", std::string("http://127.0.0.1:") + blackhole + "/echo", nullptr, 3000, 500},
        {"sending", Base("/nodrain"), nullptr, 32u << 20, 1500},
    };
    for (const Case& c : cases) {
        image.assign(c.imageBytes, 0x44);
        stream = PxMemFile(image.data(), static_cast<uint32_t>(image.size()));
        const NameLookup lookup = c.lookup;
        platform.makeTransport = [lookup] { return std::unique_ptr<HttpTransport>(new WinsockTransport(lookup)); };
        Sink quiet;
        auto* poster = new AtlPoster(platform);  // product time-outs: 10000 ms per operation
        quiet.poster = poster;
        poster->SetEventSink(&quiet);
        poster->SetUrl(Px(c.url));
        poster->Post(&stream, PX_TEXT("img.jpg"));
        Sleep(c.runMs);
        EXPECT_TRUE(poster->IsRunning()) << c.what << ": the upload ended before the owner let go";
        const auto start = std::chrono::steady_clock::now();
        delete poster;
        const double wait = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(wait, 2.0) << c.what;
        EXPECT_TRUE(quiet.finals.empty()) << c.what << ": a deleted poster reports nothing more";
    }
}

TEST_F(SocketUpload, BrokenRepliesFail) {
    for (const char* path : {"/reset", "/garbage", "/oversized", "/overflow"}) {
        sink.finals.clear();
        EXPECT_EQ("error 0 1", Upload(Base(path))) << path;
        EXPECT_LT(seconds, 8.0) << path;
    }
}

TEST_F(SocketUpload, DrippingReplyIsCutByTheExchangeBound) {
    platform.limits.exchangeTimeoutMs = 3000;  // the product allows 300000 ms
    EXPECT_EQ("error 0 1", Upload(Base("/drip")));
    EXPECT_GE(seconds, 2.5);
    EXPECT_LT(seconds, 8.0);
}

TEST_F(SocketUpload, EndlessReplyIsCutByTheBodyBound) {
    EXPECT_EQ("error 0 1", Upload(Base("/endless")));  // product bound: 8 MiB
    EXPECT_LT(seconds, 30.0);
}

TEST_F(SocketUpload, RefusedConnectionFails) {
    EXPECT_EQ("error 0 1", Upload("http://127.0.0.1:1/echo"));
}

TEST_F(SocketUpload, ControlCharactersInTheUrlNeverReachTheWire) {
    const std::string before = Stats();
    for (const std::string& url : {Base("/echo\r\nX-Injected: 1"), Base("/echo?a=1\nX-Injected: 1"),
                                   std::string("http://127.0.0.1\r\nX-Injected: 1/echo")}) {
        sink.finals.clear();
        EXPECT_EQ("error 0 1", Upload(url));
    }
    const std::string after = Stats();
    EXPECT_NE(std::string::npos, after.find("injected=0")) << after;
    // Only the second statistics request connected in between.
    int first = std::atoi(before.c_str() + before.find('=') + 1);
    int second = std::atoi(after.c_str() + after.find('=') + 1);
    EXPECT_EQ(first + 1, second) << before << " / " << after;
}

TEST_F(SocketUpload, BasicChallengeWithoutCredentialsFails) {
    EXPECT_EQ("error 0 1", Upload(Base("/basic"), "basic"));
    EXPECT_EQ(FlavourTraits::kKeepsFailedReplyText ? "basic denied" : "", response);
}

TEST_F(SocketUpload, NtlmExchangeThroughTheFakeContext) {
    ASSERT_EQ("complete 0", Upload(Base("/ntlm"), "NTLM"));
    // The server lists the Authorization values it saw on the one connection.
    EXPECT_EQ("-\nNTLM TkVHT1RJQVRF\nNTLM QVVUSEVOVElDQVRFOnNlcnZlci1jaGFsbGVuZ2U=", response);
}

TEST_F(SocketUpload, NtlmWithoutAuthTypeIsNotAttempted) {
    EXPECT_EQ("error 0 1", Upload(Base("/ntlm")));
}

TEST_F(SocketUpload, RealSspiPathEndsCleanlyWhereItCannotAuthenticate) {
    // Wine has no NTLM credentials for a logged-on user here; whatever step of
    // the security package fails, the upload ends with one failure event.
    platform.makeSecurityContext = CreateSspiNtlmContext;
    EXPECT_EQ("error 0 1", Upload(Base("/ntlm"), "ntlm"));
    EXPECT_EQ(1u, sink.finals.size());
    std::unique_ptr<SecurityContext> context = CreateSspiNtlmContext();
    std::string token;
    if (context->Step(std::string(), token)) {
        EXPECT_FALSE(token.empty());
        std::string reply;
        EXPECT_FALSE(context->Step(std::string(), reply)) << "a second step needs the server's token";
    }
}

TEST_F(SocketUpload, DefaultPosterUsesWinsockAndLocalhostBecomesLoopback) {
    std::string port = std::getenv("PIXMEND_TEST_SOCKET_PORT") ? std::getenv("PIXMEND_TEST_SOCKET_PORT") : "1";
    AtlPoster poster;
    EXPECT_EQ("complete 0", Run(poster, "http://127.0.0.1:" + port + "/echo?from=localhost"));
    EXPECT_EQ("http://127.0.0.1:" + port + "/echo?from=127.0.0.1", Bytes(poster.GetUrl()));
    EXPECT_EQ(0u, response.find("POST /echo?from=127.0.0.1 HTTP/1.1\r\n"));
}

TEST(CreatePoster, ChoosesByUrl) {
    struct Case {
        const char* url;
        bool systemHttp;
    } cases[] = {
        {"https://example.com/up", true},          {"HTTPS://example.com:8443/up", true},
        {"http://localhost/up", true},             {"http://LocalHost:8080/up", true},
        {"http://LOCALHOST", true},                {"http://127.0.0.1/up", false},
        {"http://example.com/up?h=localhost", false}, {"http://localhost.example.com/", false},
        {"not a url", false},                      {"", false},
    };
    for (const Case& c : cases) {
        std::unique_ptr<HttpPoster> poster(CreatePoster(Px(c.url)));
        ASSERT_NE(nullptr, poster) << c.url;
        EXPECT_EQ(c.systemHttp, dynamic_cast<WinINetPoster*>(poster.get()) != nullptr) << c.url;
        EXPECT_EQ(!c.systemHttp, dynamic_cast<AtlPoster*>(poster.get()) != nullptr) << c.url;
        EXPECT_EQ(c.url, Bytes(poster->GetUrl()));
    }
}

}  // namespace

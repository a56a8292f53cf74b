// WinINetPoster end to end against the local servers of upload_server.py
// (HTTP and HTTPS with a self-signed certificate on 127.0.0.1).
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "image/PxFile.h"
#include "support/Convert.h"
#include "upload/WinINetPoster.h"

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

PxString Widen(const std::string& text) { return PxString(text.begin(), text.end()); }

PxString Url(const char* portVariable, const char* scheme, const std::string& rest) {
    return Widen(std::string(scheme) + "://127.0.0.1:" + Env(portVariable) + rest);
}

std::string Narrow(const PxString& text) { return WideToMultiByte(std::wstring(text.begin(), text.end()), false); }

struct Sink : HttpPosterEvent {
    HttpPoster* poster = nullptr;
    std::mutex mutex;
    std::condition_variable done;
    int finals = 0;
    std::string final;
    std::vector<std::string> percents;
    DWORD mainThread = GetCurrentThreadId();
    bool progressOnMainThread = false;

    void Final(const std::string& what) {
        std::lock_guard<std::mutex> hold(mutex);
        ++finals;
        final = what;
        done.notify_all();
    }
    void OnPostComplete(int reserved) override { Final("complete " + std::to_string(reserved)); }
    void OnPostError(int reserved, int code) override {
        Final("error " + std::to_string(reserved) + " " + std::to_string(code));
    }
    void OnPostProgress(int tag, int, PxString) override {
        std::lock_guard<std::mutex> hold(mutex);
        if (GetCurrentThreadId() == mainThread) progressOnMainThread = true;
        EXPECT_EQ(tag, -1);
        percents.push_back(Narrow(poster->GetPercentText()));
    }
    bool WaitFinal(int seconds = 30) {
        std::unique_lock<std::mutex> hold(mutex);
        return done.wait_for(hold, std::chrono::seconds(seconds), [this] { return finals > 0; });
    }
};

class WinINetPosterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("PIXMEND_TEST_HTTP_PORT").empty()) GTEST_SKIP() << "run through upload_server.py";
        ASSERT_TRUE(stream_.Open());
        poster_.SetEventSink(&sink_);
        sink_.poster = &poster_;
    }
    void SetImage(const std::string& bytes) {
        ASSERT_EQ(stream_.Write(bytes.data(), 1, bytes.size()), bytes.size());
    }
    // Fills the form as the editor does and posts the stream.
    void Post(const PxString& url) {
        poster_.SetUrl(url);
        HttpForm& form = poster_.GetForm();
        form.ClearFields();
        form.AddField(PX_TEXT("user"), PX_TEXT("ann"));
        form.AddIntField(PX_TEXT("width"), 64);
        form.AddIntField(PX_TEXT("height"), 48);
        poster_.Post(&stream_, PX_TEXT("img.jpg"));
        ASSERT_TRUE(sink_.WaitFinal()) << "no final event";
    }
    std::string Response() const { return Narrow(poster_.GetResponse()); }

    PxMemFile stream_;
    Sink sink_;
    WinINetPoster poster_;
};

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

TEST_F(WinINetPosterTest, ServerReceivesTheFormBodyAndTheSixHeaderLines) {
    std::string image;
    for (int i = 0; i < 3000; ++i) image += static_cast<char>(i * 7);
    SetImage(image);
    Post(Url("PIXMEND_TEST_HTTP_PORT", "http", "/echo?id=5#frag"));
    EXPECT_EQ(sink_.final, "complete 0");
    EXPECT_EQ(poster_.GetHttpStatus(), 200u);
    const HttpForm& form = poster_.GetForm();
    const std::string body = ToBodyBytes(form.BuildFieldsText()) + image + "\r\n" + ToBodyBytes(form.BuildTrailer());
    const std::string reply = Response();
    EXPECT_NE(reply.find("target=/echo\n"), std::string::npos) << "the query string must not be sent";
    EXPECT_NE(reply.find("body=" + Hex(body) + "\n"), std::string::npos);
    EXPECT_NE(reply.find("header=Content-Length: " + std::to_string(body.size()) + "\n"), std::string::npos);
    const char* kLines[] = {
        "header=Accept: application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5\n",
        "header=Content-Type: multipart/form-data;boundary=---------------------------7da1d41060a1a\n",
        "header=Accept-Language: zh-cn\n",
        "header=User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\n",
        "header=Cache-Control: no-cache\n",
        "header=Connection: Keep-Alive\n"};
    for (const char* line : kLines) EXPECT_NE(reply.find(line), std::string::npos) << line << reply.substr(0, 600);
    ASSERT_FALSE(sink_.percents.empty());
    EXPECT_FALSE(sink_.progressOnMainThread);
    EXPECT_EQ(sink_.percents.back(), "100%");
    EXPECT_EQ(sink_.finals, 1);
}

TEST_F(WinINetPosterTest, RepliesOfAnyLengthArriveWhole) {
    SetImage("JPEG");
    Post(Url("PIXMEND_TEST_HTTP_PORT", "http", "/big/1000"));
    EXPECT_EQ(sink_.final, "complete 0");
    std::string expected;
    for (int i = 0; i < 1000; ++i) expected += static_cast<char>('a' + i % 26);
    EXPECT_EQ(Response(), expected);

    sink_.finals = 0;
    Post(Url("PIXMEND_TEST_HTTP_PORT", "http", "/empty"));  // the uploader is reused
    EXPECT_EQ(sink_.final, "complete 0");
    EXPECT_EQ(Response(), "");
}

TEST_F(WinINetPosterTest, Status500FailsWithTheReplyInTheResponse) {
    SetImage("JPEG");
    Post(Url("PIXMEND_TEST_HTTP_PORT", "http", "/fail"));
    EXPECT_EQ(sink_.final, "error 0 1");
    EXPECT_EQ(poster_.GetHttpStatus(), 500u);
    EXPECT_EQ(Response(), "server error text");
}

TEST_F(WinINetPosterTest, RefusedConnectionFailsWithoutCrashing) {
    SetImage("JPEG");
    // WinINet connects when the request is sent, so the refusal is a failed
    // send: code 1, not the code 0 of a connection that cannot be opened.
    Post(Url("PIXMEND_TEST_REFUSED_PORT", "http", "/echo"));
    EXPECT_EQ(sink_.final, "error 0 1");
    EXPECT_EQ(sink_.finals, 1);
}

TEST_F(WinINetPosterTest, MalformedUrlCannotConnect) {
    SetImage("JPEG");
    Post(PX_TEXT("not a url"));
    EXPECT_EQ(sink_.final, "error 0 0");
}

TEST_F(WinINetPosterTest, HttpsWithASelfSignedCertificateSucceeds) {
    SetImage("JPEG");
    Post(Url("PIXMEND_TEST_HTTPS_PORT", "https", "/echo"));
    EXPECT_EQ(sink_.final, "complete 0");
    EXPECT_NE(Response().find("target=/echo\n"), std::string::npos);
}

TEST_F(WinINetPosterTest, AServerThatNeverAnswersEndsInTheFailureEvent) {
    SetImage("JPEG");
    poster_.SetWaitLimits(1500, 10000);
    const DWORD start = GetTickCount();
    Post(Url("PIXMEND_TEST_HTTP_PORT", "http", "/stall"));
    EXPECT_EQ(sink_.final, "error 0 1");
    EXPECT_LT(GetTickCount() - start, 15000u);
}

TEST_F(WinINetPosterTest, ADrippingReplyIsCutByTheWholeUploadDeadline) {
    SetImage("JPEG");
    poster_.SetWaitLimits(1500, 3000);  // the product allows 30 s idle, 10 min in all
    const DWORD start = GetTickCount();
    Post(Url("PIXMEND_TEST_HTTP_PORT", "http", "/drip"));  // each read completes within 300 ms
    const DWORD spent = GetTickCount() - start;
    EXPECT_EQ(sink_.final, "error 0 1");
    EXPECT_GE(spent, 2900u);
    EXPECT_LT(spent, 5500u) << "the reply takes 6 s; the upload must end at its 3 s deadline";
}

TEST_F(WinINetPosterTest, ControlCharactersInTheUrlFailBeforeAnythingIsSent) {
    SetImage("JPEG");
    const char* paths[] = {"/echo\r\nX-Injected: 1", "/echo\tx", "/ec\x7Fho"};
    for (const char* path : paths) {
        sink_.finals = 0;
        Post(Url("PIXMEND_TEST_HTTP_PORT", "http", path));
        EXPECT_EQ(sink_.final, "error 0 0") << "refused as an address, before connecting";
        EXPECT_EQ(poster_.GetHttpStatus(), 0u);
    }
}

TEST(WinINetPosterLifetime, DeletedMidUploadNeitherCrashesNorLeaks) {
    if (Env("PIXMEND_TEST_HTTP_PORT").empty()) GTEST_SKIP() << "run through upload_server.py";
    PxMemFile stream;
    ASSERT_TRUE(stream.Open());
    const std::string image(4 << 20, 'x');
    ASSERT_EQ(stream.Write(image.data(), 1, image.size()), image.size());
    DWORD handlesBefore = 0, handlesAfter = 0;
    for (int round = 0; round < 4; ++round) {
        if (round == 1) GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);  // after warm-up
        Sink sink;
        auto* poster = new WinINetPoster;
        sink.poster = poster;
        poster->SetEventSink(&sink);
        poster->SetUrl(Url("PIXMEND_TEST_HTTP_PORT", "http", "/slow"));
        poster->Post(&stream, PX_TEXT("img.jpg"));
        Sleep(150 + 100 * round);
        const DWORD start = GetTickCount();
        delete poster;
        EXPECT_LT(GetTickCount() - start, 10000u) << "deletion waited too long";
        EXPECT_EQ(sink.finals, 0);  // the sink was detached before the wait
    }
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore + 4) << "before " << handlesBefore << " after " << handlesAfter;
}

}  // namespace

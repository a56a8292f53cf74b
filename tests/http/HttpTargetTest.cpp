// URL checks of the socket client, the request head it writes, and Base64.
#include <gtest/gtest.h>

#include <string>

#include "upload/http/Base64.h"
#include "upload/http/HttpRequestHead.h"
#include "upload/http/HttpTarget.h"

using namespace Corvane::Http;

namespace {

TEST(HttpUrl, SplitsHostPortAndTarget) {
    HttpTarget t;
    ASSERT_TRUE(ParseHttpUrl("HTTP://Upload.Example.com:8080/a/b.php?x=1&y=two#frag", t));
    EXPECT_EQ("Upload.Example.com", t.host);
    EXPECT_EQ(8080, t.port);
    EXPECT_EQ("/a/b.php?x=1&y=two", t.pathAndQuery);

    ASSERT_TRUE(ParseHttpUrl("http://user:pw@10.0.0.1", t));
    EXPECT_EQ("10.0.0.1", t.host);
    EXPECT_EQ(80, t.port);
    EXPECT_EQ("/", t.pathAndQuery);

    ASSERT_TRUE(ParseHttpUrl("http://h:/?q=a b", t));
    EXPECT_EQ(80, t.port);
    EXPECT_EQ("/?q=a%20b", t.pathAndQuery);
}

TEST(HttpUrl, RefusesOtherSchemesAndBadAuthorities) {
    HttpTarget t;
    for (const char* url : {"https://h/", "ftp://h/", "h/path", "http://", "http:///x", "http://h:0/",
                            "http://h:65536/", "http://h:8a/", "http://h:123456/", "http://[::1]/",
                            "http://a b/", "http://h%0d/", "http://h\\x/"})
        EXPECT_FALSE(ParseHttpUrl(url, t)) << url;
}

TEST(HttpUrl, ControlBytesAnywhereAreRefused) {
    HttpTarget t;
    const std::string bad[] = {"http://h\r\nX-Injected: 1/", "http://h/up\r\nX-Injected: 1",
                               "http://h/up?a=1\nb",           "http://h/\tup",
                               std::string("http://h/a\0b", 12), "http://h/\x7f",
                               "http://h\r/"};
    for (const auto& url : bad) EXPECT_FALSE(ParseHttpUrl(url, t)) << url;
}

TEST(HttpUrl, RedirectLocationsResolveAgainstTheAnsweringTarget) {
    HttpTarget base;
    ASSERT_TRUE(ParseHttpUrl("http://h:81/dir/up.php?id=5", base));
    HttpTarget t;
    ASSERT_TRUE(ResolveLocation(base, "http://other/x", t));
    EXPECT_EQ("other", t.host);
    EXPECT_EQ(80, t.port);
    ASSERT_TRUE(ResolveLocation(base, "//third:90/y", t));
    EXPECT_EQ("third", t.host);
    EXPECT_EQ(90, t.port);
    ASSERT_TRUE(ResolveLocation(base, " /abs?q=1 ", t));
    EXPECT_EQ("h", t.host);
    EXPECT_EQ(81, t.port);
    EXPECT_EQ("/abs?q=1", t.pathAndQuery);
    ASSERT_TRUE(ResolveLocation(base, "next.php", t));
    EXPECT_EQ("/dir/next.php", t.pathAndQuery);
    ASSERT_TRUE(ResolveLocation(base, "?id=6", t));
    EXPECT_EQ("/dir/up.php?id=6", t.pathAndQuery);
    EXPECT_FALSE(ResolveLocation(base, "https://h/secure", t));
    EXPECT_FALSE(ResolveLocation(base, "", t));
    EXPECT_FALSE(ResolveLocation(base, "/x\r\nSet-Cookie: a", t));
}

TEST(RequestHead, ByteForByte) {
    RequestHeadFields f;
    f.pathAndQuery = "/up.php?id=1";
    f.host = "example.com";
    f.contentType = "multipart/form-data;boundary=---------------------------7da1d41060a1a";
    f.contentLength = 3000;
    std::string head;
    ASSERT_TRUE(BuildRequestHead(f, head));
    EXPECT_EQ(
        "POST /up.php?id=1 HTTP/1.1\r\n"
        "Content-Length: 3000\r\n"
        "Content-Type: multipart/form-data;boundary=---------------------------7da1d41060a1a\r\n"
        "Host: example.com\r\n"
        "User-Agent: Microsoft-ATL-Native/9.00\r\n\r\n",
        head);

    f.contentLength = 0;
    f.authField = "Authorization";
    f.authValue = "Basic YTpi";
    ASSERT_TRUE(BuildRequestHead(f, head));
    EXPECT_EQ(
        "POST /up.php?id=1 HTTP/1.1\r\n"
        "Content-Type: multipart/form-data;boundary=---------------------------7da1d41060a1a\r\n"
        "Authorization: Basic YTpi\r\n"
        "Host: example.com\r\n"
        "User-Agent: Microsoft-ATL-Native/9.00\r\n\r\n",
        head);
}

TEST(RequestHead, UnsafeTextNeverReachesTheHead) {
    RequestHeadFields good;
    good.host = "h";
    good.contentType = "text/plain";
    std::string head;
    ASSERT_TRUE(BuildRequestHead(good, head));
    auto with = [&](auto change) {
        RequestHeadFields f = good;
        change(f);
        bool ok = BuildRequestHead(f, head);
        return !ok && head.empty();
    };
    EXPECT_TRUE(with([](RequestHeadFields& f) { f.host = "h\r\nX: 1"; }));
    EXPECT_TRUE(with([](RequestHeadFields& f) { f.host = ""; }));
    EXPECT_TRUE(with([](RequestHeadFields& f) { f.pathAndQuery = "/a b"; }));
    EXPECT_TRUE(with([](RequestHeadFields& f) { f.pathAndQuery = "/a\nb"; }));
    EXPECT_TRUE(with([](RequestHeadFields& f) { f.contentType = "a\r\nb"; }));
    EXPECT_TRUE(with([](RequestHeadFields& f) { f.authValue = "NTLM a\rb"; }));
    EXPECT_TRUE(with([](RequestHeadFields& f) { f.method = "PO ST"; }));
}

TEST(Base64, KnownVectorsRoundTrip) {
    const char* plain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
    const char* coded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(coded[i], Base64Encode(plain[i]));
        std::string back;
        ASSERT_TRUE(Base64Decode(coded[i], 100, back)) << coded[i];
        EXPECT_EQ(plain[i], back);
    }
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    std::string back;
    ASSERT_TRUE(Base64Decode(Base64Encode(bytes), 256, back));
    EXPECT_EQ(bytes, back);
    EXPECT_FALSE(Base64Decode(Base64Encode(bytes), 255, back)) << "bound on decoded size";
}

TEST(Base64, StrictDecoding) {
    std::string out;
    for (const char* bad : {"Zg=", "Z", "Zm9v!", "Zm 9v", "Zg==Zg==", "===", "Zm9vY==="})
        EXPECT_FALSE(Base64Decode(bad, 100, out)) << bad;
    EXPECT_TRUE(Base64Decode("Zm8", 100, out));  // unpadded form
    EXPECT_EQ("fo", out);
}

}  // namespace

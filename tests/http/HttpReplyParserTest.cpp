// Reply parsing: framing by Content-Length, chunks and close; the bounds on
// head, chunk lines and body; and rejection of malformed heads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "upload/http/HttpReplyParser.h"

using Corvane::Http::HttpReplyParser;
using Corvane::Http::ReplyLimits;

namespace {

// Feeds text in pieces of the given size (0 = all at once); returns bytes used.
size_t FeedInPieces(HttpReplyParser& parser, const std::string& text, size_t piece) {
    size_t used = 0;
    if (piece == 0) piece = text.size();
    for (size_t at = 0; at < text.size() && !parser.Complete() && !parser.Failed(); at += piece) {
        size_t n = std::min(piece, text.size() - at);
        size_t took = parser.Feed(text.data() + at, n);
        used += took;
        if (took < n) break;
    }
    return used;
}

class ReplyFraming : public ::testing::TestWithParam<size_t> {};

TEST_P(ReplyFraming, ContentLengthBodyEndsTheReply) {
    HttpReplyParser parser;
    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-A:  spaced value \r\n\r\nhelloEXTRA";
    size_t used = FeedInPieces(parser, reply, GetParam());
    ASSERT_TRUE(parser.Complete()) << parser.Error();
    EXPECT_EQ(reply.size() - 5, used);  // "EXTRA" belongs to nobody
    EXPECT_EQ(200, parser.Status());
    EXPECT_EQ("hello", parser.Body());
    ASSERT_NE(nullptr, parser.Headers().Find("x-a"));
    EXPECT_EQ("spaced value", *parser.Headers().Find("X-A"));
    EXPECT_TRUE(parser.KeepAlive());
}

TEST_P(ReplyFraming, ChunkedBodyWithExtensionsAndTrailer) {
    HttpReplyParser parser;
    const std::string reply =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
        "4;name=value\r\nWiki\r\n"
        "A \r\npedia in\r\n\r\n"
        "0\r\nX-Trailer: yes\r\n\r\n";
    EXPECT_EQ(reply.size(), FeedInPieces(parser, reply, GetParam()));
    ASSERT_TRUE(parser.Complete()) << parser.Error();
    EXPECT_EQ("Wikipedia in\r\n", parser.Body());
    EXPECT_TRUE(parser.KeepAlive());
}

TEST_P(ReplyFraming, CloseDelimitedBodyEndsAtEof) {
    HttpReplyParser parser;
    FeedInPieces(parser, "HTTP/1.0 500 Oops\nServer: x\n\nline one\nline two", GetParam());
    EXPECT_FALSE(parser.Complete());
    parser.FinishAtEof();
    ASSERT_TRUE(parser.Complete()) << parser.Error();
    EXPECT_EQ(500, parser.Status());
    EXPECT_EQ("line one\nline two", parser.Body());
    EXPECT_FALSE(parser.KeepAlive());
}

TEST_P(ReplyFraming, InterimRepliesAreSkipped) {
    HttpReplyParser parser;
    FeedInPieces(parser, "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok", GetParam());
    ASSERT_TRUE(parser.Complete()) << parser.Error();
    EXPECT_EQ(201, parser.Status());
    EXPECT_EQ("ok", parser.Body());
}

INSTANTIATE_TEST_SUITE_P(PieceSizes, ReplyFraming, ::testing::Values(0, 1, 2, 7, 4096));

TEST(ReplyParser, NoBodyStatusesAndConnectionTokens) {
    HttpReplyParser noContent;
    noContent.Feed("HTTP/1.1 204 No Content\r\n\r\n", 27);
    EXPECT_TRUE(noContent.Complete());
    EXPECT_TRUE(noContent.KeepAlive());

    HttpReplyParser closing;
    const std::string text = "HTTP/1.1 200 OK\r\nConnection: keep-alive, Close\r\nContent-Length: 0\r\n\r\n";
    closing.Feed(text.data(), text.size());
    EXPECT_TRUE(closing.Complete());
    EXPECT_FALSE(closing.KeepAlive());

    HttpReplyParser old;
    const std::string text10 = "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n";
    old.Feed(text10.data(), text10.size());
    EXPECT_TRUE(old.Complete());
    EXPECT_FALSE(old.KeepAlive());
}

TEST(ReplyParser, GarbageStatusLinesFail) {
    const char* lines[] = {
        "HTTP/1.1 200OK\r\n",   "HTTP/2 200 OK\r\n",     "HTTP/1.1 20 OK\r\n", "http/1.1 200 OK\r\n",
        "HTTP/1.1 099 Low\r\n", "HTTP/1.x 200 OK\r\n",   "ICY 200 OK\r\n",     "\r\n",
        "HTTP/1.1 2a0 OK\r\n",  "HTTP/1.1 200 O\x01K\r\n", "<html>\n"};
    for (const char* line : lines) {
        HttpReplyParser parser;
        parser.Feed(line, std::strlen(line));
        EXPECT_TRUE(parser.Failed()) << line;
        EXPECT_EQ(0u, parser.Feed("more", 4)) << "a failed parser must consume nothing";
    }
    HttpReplyParser binary;
    const char zeros[16] = {};
    binary.Feed(zeros, sizeof zeros);
    binary.Feed("\n", 1);
    EXPECT_TRUE(binary.Failed());
}

TEST(ReplyParser, MalformedFieldsFail) {
    const char* heads[] = {
        "HTTP/1.1 200 OK\r\nNoColon\r\n\r\n",
        "HTTP/1.1 200 OK\r\n: empty name\r\n\r\n",
        "HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n",
        "HTTP/1.1 200 OK\r\nA: b\r\n folded\r\n\r\n",
        "HTTP/1.1 200 OK\r\nA: b\x7f\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 12a\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: \r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n",
        "HTTP/1.1 101 Switching\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\nnot a field\r\n\r\n",
    };
    for (const char* head : heads) {
        HttpReplyParser parser;
        parser.Feed(head, std::strlen(head));
        EXPECT_TRUE(parser.Failed()) << head;
    }
}

TEST(ReplyParser, EofBeforeTheEndFails) {
    const char* partial[] = {"", "HTTP/1.1 200 OK\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc",
                             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab"};
    for (const char* text : partial) {
        HttpReplyParser parser;
        parser.Feed(text, std::strlen(text));
        parser.FinishAtEof();
        EXPECT_TRUE(parser.Failed()) << text;
    }
}

TEST(ReplyParserBounds, OversizedHeadFailsWhetherFedWholeOrByByte) {
    ReplyLimits limits;
    limits.maxHeadBytes = 1000;
    std::string head = "HTTP/1.1 200 OK\r\nX-Big: " + std::string(1000, 'a') + "\r\n\r\n";
    for (size_t piece : {size_t(0), size_t(1)}) {
        HttpReplyParser parser(limits);
        FeedInPieces(parser, head, piece);
        EXPECT_TRUE(parser.Failed());
        EXPECT_EQ("reply head too large", parser.Error());
    }
    // Many small fields add up against the same bound.
    std::string many = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 60; ++i) many += "X-Field: yyyyyyyyyy\r\n";
    HttpReplyParser parser(limits);
    FeedInPieces(parser, many, 3);
    EXPECT_TRUE(parser.Failed());
    EXPECT_EQ("reply head too large", parser.Error());
    // A head without any line end cannot grow without bound either.
    HttpReplyParser endless(limits);
    std::string noEnd(4096, 'H');
    FeedInPieces(endless, noEnd, 0);
    EXPECT_TRUE(endless.Failed());
}

TEST(ReplyParserBounds, FieldCountIsBounded) {
    std::string head = "HTTP/1.1 200 OK\r\n";
    for (size_t i = 0; i <= HttpReplyParser::kMaxFields; ++i) head += "A: b\r\n";
    head += "\r\n";
    HttpReplyParser parser;
    parser.Feed(head.data(), head.size());
    EXPECT_TRUE(parser.Failed());
    EXPECT_EQ("too many header fields", parser.Error());
}

TEST(ReplyParserBounds, BodyBoundHoldsForEveryFraming) {
    ReplyLimits limits;
    limits.maxBodyBytes = 100;
    const std::string declared = "HTTP/1.1 200 OK\r\nContent-Length: 101\r\n\r\n";
    HttpReplyParser byLength(limits);
    byLength.Feed(declared.data(), declared.size());
    EXPECT_TRUE(byLength.Failed()) << "refused before any body byte arrives";

    HttpReplyParser exact(limits);
    std::string fits = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(100, 'b');
    exact.Feed(fits.data(), fits.size());
    EXPECT_TRUE(exact.Complete());

    HttpReplyParser byClose(limits);
    std::string open = "HTTP/1.1 200 OK\r\n\r\n" + std::string(101, 'b');
    FeedInPieces(byClose, open, 10);
    EXPECT_TRUE(byClose.Failed());

    HttpReplyParser byChunks(limits);
    std::string chunks = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 3; ++i) chunks += "28\r\n" + std::string(40, 'c') + "\r\n";
    FeedInPieces(byChunks, chunks, 0);
    EXPECT_TRUE(byChunks.Failed());
    EXPECT_EQ("reply body too large", byChunks.Error());
}

TEST(ReplyParserBounds, ChunkSizeOverflowAndLongChunkLinesFail) {
    const std::string start = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (const std::string size : {"ffffffffffffffffffffffff", "10000000000000001", "800001"}) {
        HttpReplyParser parser;
        std::string text = start + size + "\r\n";
        parser.Feed(text.data(), text.size());
        EXPECT_TRUE(parser.Failed()) << size;
        EXPECT_EQ("reply body too large", parser.Error());
    }
    HttpReplyParser longLine;
    std::string text = start + "1;" + std::string(HttpReplyParser::kMaxChunkLine, 'e');
    FeedInPieces(longLine, text, 1);
    EXPECT_TRUE(longLine.Failed());
    EXPECT_EQ("chunk size line too long", longLine.Error());
}

TEST(ReplyParserBounds, InterimRepliesAreBounded) {
    std::string text;
    for (int i = 0; i <= HttpReplyParser::kMaxInterimReplies; ++i) text += "HTTP/1.1 100 Continue\r\n\r\n";
    HttpReplyParser parser;
    parser.Feed(text.data(), text.size());
    EXPECT_TRUE(parser.Failed());
}

}  // namespace

#pragma once
// Incremental parser of one HTTP/1.x reply to a POST: status line, header
// fields, then a body delimited by Content-Length, chunked coding or the end
// of the connection. Bytes may arrive in pieces of any size, down to one.
//
// The reply comes from an untrusted server, so every piece is bounded: the
// head (status line, fields, interim 1xx heads and chunk trailers together)
// by maxHeadBytes, one chunk-size line by kMaxChunkLine, the decoded body by
// maxBodyBytes. Past a bound, or on any malformed byte, the parser enters its
// failed state for good and consumes nothing more.
#include <cstddef>
#include <string>

#include "upload/http/HttpHeaders.h"

namespace Corvane {
namespace Http {

struct ReplyLimits {
    size_t maxHeadBytes = 64 * 1024;
    size_t maxBodyBytes = 8 * 1024 * 1024;
};

class HttpReplyParser {
public:
    static constexpr size_t kMaxChunkLine = 1024;
    static constexpr size_t kMaxFields = 128;
    static constexpr int kMaxInterimReplies = 8;

    explicit HttpReplyParser(const ReplyLimits& limits = ReplyLimits());

    // Consumes a prefix of the bytes and returns its length. Stops at the end
    // of the reply (bytes after it belong to nobody and are left unconsumed)
    // or at the first error.
    size_t Feed(const char* data, size_t size);
    // The peer closed the connection: ends a close-delimited body, and is an
    // error anywhere else before the reply is complete.
    void FinishAtEof();

    bool Complete() const { return stage_ == Stage::Done; }
    bool Failed() const { return stage_ == Stage::Failed; }
    const std::string& Error() const { return error_; }
    int Status() const { return status_; }
    const HttpHeaders& Headers() const { return headers_; }
    const std::string& Body() const { return body_; }
    // The server lets the connection carry another request after this reply.
    bool KeepAlive() const;

private:
    enum class Stage { StatusLine, Header, FixedBody, ChunkSize, ChunkData, ChunkEnd, Trailer, CloseBody, Done, Failed };

    size_t FeedLine(const char* data, size_t size, size_t limit);
    size_t FeedBody(const char* data, size_t size);
    void HandleLine(const std::string& line);
    void ParseStatusLine(const std::string& line);
    void ParseField(const std::string& line);
    void StartBody();
    bool ChooseLength();
    void ParseChunkSize(const std::string& line);
    bool AppendBody(const char* data, size_t size);
    void Fail(const char* why);

    ReplyLimits limits_;
    Stage stage_ = Stage::StatusLine;
    std::string error_;
    std::string line_;
    size_t headBytes_ = 0;
    int interimReplies_ = 0;
    int minorVersion_ = 1;
    int status_ = 0;
    HttpHeaders headers_;
    std::string body_;
    bool closeDelimited_ = false;
    size_t remaining_ = 0;  // bytes left of a fixed body or of the current chunk
};

}  // namespace Http
}  // namespace Corvane

#include "upload/http/HttpReplyParser.h"

#include <cstring>

namespace Corvane {
namespace Http {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c)) return true;
    return c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

// Visible text of a reason phrase or field value: tab, space, printable
// ASCII and any byte from 0x80 up.
bool IsFieldText(const std::string& text, size_t from) {
    for (size_t i = from; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0x7F || (c < 0x20 && c != '\t')) return false;
    }
    return true;
}

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Trim(const std::string& text, size_t from) {
    size_t begin = text.find_first_not_of(" \t", from);
    if (begin == std::string::npos) return std::string();
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// Parses all-digit text into value, false on anything else or on a value
// above limit (checked before it can overflow).
bool ParseDecimal(const std::string& text, size_t limit, size_t& value, bool& tooLarge) {
    tooLarge = false;
    if (text.empty()) return false;
    value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return false;
        size_t digit = static_cast<size_t>(c - '0');
        if (value > (limit - digit) / 10) {
            tooLarge = true;
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}

}  // namespace

HttpReplyParser::HttpReplyParser(const ReplyLimits& limits) : limits_(limits) {}

size_t HttpReplyParser::Feed(const char* data, size_t size) {
    size_t used = 0;
    while (used < size && stage_ != Stage::Done && stage_ != Stage::Failed) {
        switch (stage_) {
        case Stage::StatusLine:
        case Stage::Header:
        case Stage::Trailer:
            used += FeedLine(data + used, size - used, limits_.maxHeadBytes);
            break;
        case Stage::ChunkSize:
        case Stage::ChunkEnd:
            used += FeedLine(data + used, size - used, kMaxChunkLine);
            break;
        default:
            used += FeedBody(data + used, size - used);
            break;
        }
    }
    return used;
}

// Collects one line ending in LF (an optional CR before it is dropped).
// Head lines count against the head bound; chunk lines against their own.
size_t HttpReplyParser::FeedLine(const char* data, size_t size, size_t limit) {
    const bool headLine = stage_ == Stage::StatusLine || stage_ == Stage::Header || stage_ == Stage::Trailer;
    const void* found = std::memchr(data, '\n', size);
    size_t take = found ? static_cast<size_t>(static_cast<const char*>(found) - data) + 1 : size;
    size_t already = headLine ? headBytes_ : line_.size();
    if (take > limit || already > limit - take) {
        Fail(headLine ? "reply head too large" : "chunk size line too long");
        return take;
    }
    if (headLine) headBytes_ += take;
    line_.append(data, found ? take - 1 : take);
    if (found) {
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        std::string line;
        line.swap(line_);
        HandleLine(line);
    }
    return take;
}

void HttpReplyParser::HandleLine(const std::string& line) {
    switch (stage_) {
    case Stage::StatusLine:
        ParseStatusLine(line);
        break;
    case Stage::Header:
        if (line.empty())
            StartBody();
        else
            ParseField(line);
        break;
    case Stage::ChunkSize:
        ParseChunkSize(line);
        break;
    case Stage::ChunkEnd:
        if (line.empty())
            stage_ = Stage::ChunkSize;
        else
            Fail("chunk data longer than its size");
        break;
    case Stage::Trailer:
        if (line.empty())
            stage_ = Stage::Done;
        else if (line.find(':') == std::string::npos || !IsFieldText(line, 0))
            Fail("malformed trailer field");
        break;
    default:
        break;
    }
}

// "HTTP/1.x NNN reason"; the reason may be empty or absent.
void HttpReplyParser::ParseStatusLine(const std::string& line) {
    if (line.size() < 12 || line.compare(0, 7, "HTTP/1.") != 0 || !IsDigit(line[7]) || line[8] != ' ' ||
        !IsDigit(line[9]) || !IsDigit(line[10]) || !IsDigit(line[11]) || line[9] == '0' ||
        (line.size() > 12 && line[12] != ' ') || !IsFieldText(line, 12)) {
        Fail("malformed status line");
        return;
    }
    minorVersion_ = line[7] - '0';
    status_ = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    headers_.Clear();
    stage_ = Stage::Header;
}

void HttpReplyParser::ParseField(const std::string& line) {
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
        Fail("malformed header field");  // also rejects obsolete line folding
        return;
    }
    for (size_t i = 0; i < colon; ++i) {
        if (!IsTokenChar(line[i])) {
            Fail("malformed header field");
            return;
        }
    }
    if (!IsFieldText(line, colon + 1)) {
        Fail("malformed header field");
        return;
    }
    if (headers_.Count() >= kMaxFields) {
        Fail("too many header fields");
        return;
    }
    headers_.Add(line.substr(0, colon), Trim(line, colon + 1));
}

void HttpReplyParser::StartBody() {
    if (status_ < 200) {
        // Interim replies (100 Continue and the like) precede the real one;
        // a protocol switch was never asked for.
        if (status_ == 101 || ++interimReplies_ > kMaxInterimReplies) {
            Fail("unexpected interim reply");
            return;
        }
        stage_ = Stage::StatusLine;
        return;
    }
    closeDelimited_ = false;
    if (status_ == 204 || status_ == 304) {
        stage_ = Stage::Done;
        return;
    }
    const auto codings = headers_.FindAll("Transfer-Encoding");
    if (!codings.empty()) {
        // Chunked must be the last coding; any other coding runs to the close.
        const std::string& last = codings.back();
        size_t comma = last.rfind(',');
        std::string final = Trim(last, comma == std::string::npos ? 0 : comma + 1);
        stage_ = EqualsNoCase(final, "chunked") ? Stage::ChunkSize : Stage::CloseBody;
        closeDelimited_ = stage_ == Stage::CloseBody;
        return;
    }
    if (headers_.Find("Content-Length") == nullptr) {
        stage_ = Stage::CloseBody;
        closeDelimited_ = true;
        return;
    }
    if (!ChooseLength()) return;
    stage_ = remaining_ == 0 ? Stage::Done : Stage::FixedBody;
}

// Every Content-Length field must carry the same all-digit value.
bool HttpReplyParser::ChooseLength() {
    const auto values = headers_.FindAll("Content-Length");
    size_t length = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        size_t value = 0;
        bool tooLarge = false;
        if (!ParseDecimal(values[i], limits_.maxBodyBytes, value, tooLarge)) {
            Fail(tooLarge ? "reply body too large" : "malformed Content-Length");
            return false;
        }
        if (i > 0 && value != length) {
            Fail("conflicting Content-Length fields");
            return false;
        }
        length = value;
    }
    remaining_ = length;
    return true;
}

// Hexadecimal size, optionally followed by blanks and ";extensions".
void HttpReplyParser::ParseChunkSize(const std::string& line) {
    size_t size = 0;
    size_t i = 0;
    for (; i < line.size(); ++i) {
        int digit = HexValue(line[i]);
        if (digit < 0) break;
        size = size * 16 + static_cast<size_t>(digit);
        // Checked on every digit, so the product above cannot overflow.
        if (size > limits_.maxBodyBytes || body_.size() > limits_.maxBodyBytes - size) {
            Fail("reply body too large");
            return;
        }
    }
    if (i == 0) {
        Fail("malformed chunk size");
        return;
    }
    size_t rest = line.find_first_not_of(" \t", i);
    if ((rest != std::string::npos && line[rest] != ';') || !IsFieldText(line, i)) {
        Fail("malformed chunk size");
        return;
    }
    remaining_ = size;
    stage_ = size == 0 ? Stage::Trailer : Stage::ChunkData;
}

size_t HttpReplyParser::FeedBody(const char* data, size_t size) {
    size_t take = size;
    if (stage_ != Stage::CloseBody && take > remaining_) take = remaining_;
    if (!AppendBody(data, take)) return take;
    if (stage_ == Stage::CloseBody) return take;
    remaining_ -= take;
    if (remaining_ == 0) stage_ = stage_ == Stage::FixedBody ? Stage::Done : Stage::ChunkEnd;
    return take;
}

bool HttpReplyParser::AppendBody(const char* data, size_t size) {
    if (size > limits_.maxBodyBytes || body_.size() > limits_.maxBodyBytes - size) {
        Fail("reply body too large");
        return false;
    }
    body_.append(data, size);
    return true;
}

void HttpReplyParser::FinishAtEof() {
    if (stage_ == Stage::CloseBody)
        stage_ = Stage::Done;
    else if (stage_ != Stage::Done && stage_ != Stage::Failed)
        Fail("connection closed before the reply was complete");
}

bool HttpReplyParser::KeepAlive() const {
    if (stage_ != Stage::Done) return false;
    if (headers_.HasToken("Connection", "close")) return false;
    if (closeDelimited_) return false;  // the body used the connection up
    return minorVersion_ >= 1 || headers_.HasToken("Connection", "keep-alive");
}

void HttpReplyParser::Fail(const char* why) {
    stage_ = Stage::Failed;
    error_ = why;
}

}  // namespace Http
}  // namespace Corvane

// libFuzzer target for the socket client's reply parser: status line, header
// fields, interim replies, and every body framing. The first input byte picks
// the piece size, so the same reply is also parsed split at odd places; the
// parser must never read past its input or let the body grow past its bound,
// and a Location it accepts must resolve to a target safe for a request head.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "upload/http/HttpAuth.h"
#include "upload/http/HttpReplyParser.h"
#include "upload/http/HttpTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = (data[0] % 16) + 1;
    const char* text = reinterpret_cast<const char*>(data + 1);
    size_t left = size - 1;

    Corvane::Http::ReplyLimits limits;
    limits.maxHeadBytes = 4096;
    limits.maxBodyBytes = 64 * 1024;
    Corvane::Http::HttpReplyParser parser(limits);
    while (left > 0 && !parser.Complete() && !parser.Failed()) {
        size_t n = left < piece ? left : piece;
        size_t used = parser.Feed(text, n);
        if (used > n) std::abort();
        text += used;
        left -= used;
        if (used < n && !parser.Complete() && !parser.Failed()) std::abort();  // stalled
    }
    if (left == 0) parser.FinishAtEof();
    if (parser.Body().size() > limits.maxBodyBytes) std::abort();
    if (parser.Complete()) {
        (void)parser.KeepAlive();
        // The challenge parser sees the same untrusted field values.
        Corvane::Http::ParseChallenges(parser.Headers().FindAll("WWW-Authenticate"));
        // So does a redirect's Location, and whatever it resolves to must be
        // safe to write into the next request head.
        if (const std::string* location = parser.Headers().Find("Location")) {
            Corvane::Http::HttpTarget base{"h", 80, "/dir/up?x=1"}, next;
            if (Corvane::Http::ResolveLocation(base, *location, next)) {
                for (char c : next.host + next.pathAndQuery)
                    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) std::abort();
                if (next.pathAndQuery.empty() || next.pathAndQuery[0] != '/' || next.port == 0) std::abort();
            }
        }
    }
    return 0;
}

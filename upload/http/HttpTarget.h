#pragma once
// Where one request of the socket client goes: host, port and the request
// target (path and query). Built only from text that passed the checks below,
// so every field is safe to write into a request head.
#include <cstdint>
#include <string>

namespace Corvane {
namespace Http {

struct HttpTarget {
    std::string host;          // letters, digits, '-', '.', '_' only
    uint16_t port = 80;        // 1..65535
    std::string pathAndQuery;  // starts with '/'; no control bytes, no spaces
};

// The socket client's checked view of SplitUrl (UrlSplit.h): the scheme must
// be http, and the host a name or IPv4 address (an IPv6 literal is refused:
// the client writes the host into the Host line as it is). User information
// is dropped, a missing or empty port means 80, a missing path means "/", the
// fragment is dropped, and spaces in the path or query are sent as "%20".
// False wherever SplitUrl is, so a control byte anywhere is refused.
bool ParseHttpUrl(const std::string& url, HttpTarget& target);

// Resolves a redirect's Location against the target that answered it:
// absolute http URLs, "//host/..." , "/path" and paths relative to the
// answering path's folder. False where ParseHttpUrl would be, which includes
// every non-http scheme.
bool ResolveLocation(const HttpTarget& base, const std::string& location, HttpTarget& target);

}  // namespace Http
}  // namespace Corvane

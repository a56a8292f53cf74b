#pragma once
// The one reading of an upload address. CreatePoster, the system-HTTP
// uploader and the socket client all take their parts from SplitUrl, so an
// address can never mean one server to one of them and another to the next.
// Instantiated for 8-bit and wide text.
#include <cstdint>
#include <string>

namespace Corvane {
namespace Http {

enum class UrlScheme { kUnknown, kHttp, kHttps };

template <typename Ch>
struct BasicUrlParts {
    typedef std::basic_string<Ch> Text;
    UrlScheme scheme = UrlScheme::kUnknown;
    Text host;                 // as written; for an IPv6 literal without its brackets
    bool ipv6Literal = false;  // host was written "[...]"
    uint16_t port = 0;         // the URL's port, else 80 for http, 443 for https, 0 for others
    Text path;                 // from the first "/" after the host up to "?" or "#"; "/" when absent
    Text query;                // from "?" up to "#", the "?" included; empty when absent
};

// Splits "scheme://[user@]host[:port][/path][?query][#fragment]". False (and
// empty parts) for text that does not parse, which includes:
//   - any control character (below 0x20, or DEL) anywhere in the text, so CR,
//     LF, NUL and TAB never reach a request line or a library call;
//   - a host other than letters, digits, '-', '.' and '_', or an IPv6 literal
//     other than hexadecimal digits, ':' and '.' inside brackets;
//   - a port that is not a number from 1 to 65535.
// An empty port after ":" means the scheme's default. A well-formed URL of
// another scheme returns true with scheme kUnknown.
template <typename Ch>
bool SplitUrl(const std::basic_string<Ch>& url, BasicUrlParts<Ch>& parts);

extern template bool SplitUrl<char>(const std::string&, BasicUrlParts<char>&);
extern template bool SplitUrl<wchar_t>(const std::wstring&, BasicUrlParts<wchar_t>&);

}  // namespace Http
}  // namespace Corvane

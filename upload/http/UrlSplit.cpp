#include "upload/http/UrlSplit.h"

namespace Corvane {
namespace Http {
namespace {

template <typename Ch>
bool IsControl(Ch c) {
    return (c >= 0 && c < 0x20) || c == 0x7F;
}

template <typename Ch>
bool IsAsciiAlnum(Ch c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

template <typename Ch>
bool IsHostChar(Ch c) {
    return IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_';
}

template <typename Ch>
bool IsIpv6Char(Ch c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

template <typename Ch>
Ch Lower(Ch c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Ch>(c - 'A' + 'a') : c;
}

// Empty text is the scheme's default, reported as 0.
template <typename Ch>
bool ParsePort(const std::basic_string<Ch>& text, uint16_t& port) {
    port = 0;
    if (text.empty()) return true;
    if (text.size() > 5) return false;
    uint32_t value = 0;
    for (Ch c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

// "host[:port]" or "[v6]:port", user information already removed.
template <typename Ch>
bool SplitAuthority(const std::basic_string<Ch>& authority, BasicUrlParts<Ch>& parts) {
    typedef std::basic_string<Ch> Text;
    Text host, portText;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == Text::npos) return false;
        host = authority.substr(1, close - 1);
        const Text rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') return false;
            portText = rest.substr(1);
        }
        for (Ch c : host)
            if (!IsIpv6Char(c)) return false;
        parts.ipv6Literal = true;
    } else {
        const size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        if (colon != Text::npos) portText = authority.substr(colon + 1);
        for (Ch c : host)
            if (!IsHostChar(c)) return false;
    }
    if (host.empty() || !ParsePort(portText, parts.port)) return false;
    parts.host = host;
    return true;
}

template <typename Ch>
UrlScheme SchemeOf(const std::basic_string<Ch>& text) {
    std::string lower;
    for (Ch c : text) lower += static_cast<char>(IsAsciiAlnum(c) ? Lower(c) : '?');
    if (lower == "http") return UrlScheme::kHttp;
    if (lower == "https") return UrlScheme::kHttps;
    return UrlScheme::kUnknown;
}

}  // namespace

template <typename Ch>
bool SplitUrl(const std::basic_string<Ch>& url, BasicUrlParts<Ch>& parts) {
    typedef std::basic_string<Ch> Text;
    static const Ch kSeparator[] = {':', '/', '/', 0};
    static const Ch kAuthorityEnd[] = {'/', '?', '#', 0};
    static const Ch kPathEnd[] = {'?', '#', 0};
    parts = BasicUrlParts<Ch>();
    for (Ch c : url)
        if (IsControl(c)) return false;
    const size_t sep = url.find(kSeparator);
    if (sep == Text::npos || sep == 0) return false;
    const size_t hostStart = sep + 3;
    const size_t hostEnd = url.find_first_of(kAuthorityEnd, hostStart);
    Text authority = url.substr(hostStart, hostEnd == Text::npos ? Text::npos : hostEnd - hostStart);
    const size_t at = authority.rfind('@');
    if (at != Text::npos) authority.erase(0, at + 1);
    BasicUrlParts<Ch> split;
    if (!SplitAuthority(authority, split)) return false;
    split.scheme = SchemeOf(url.substr(0, sep));
    if (split.port == 0) split.port = split.scheme == UrlScheme::kHttps ? 443 : split.scheme == UrlScheme::kHttp ? 80 : 0;

    const Text rest = hostEnd == Text::npos ? Text() : url.substr(hostEnd);
    const size_t pathEnd = rest.find_first_of(kPathEnd);
    split.path = rest.substr(0, pathEnd);
    if (split.path.empty()) split.path = Text(1, '/');
    if (pathEnd != Text::npos && rest[pathEnd] == '?') split.query = rest.substr(pathEnd, rest.find('#') - pathEnd);
    parts = split;
    return true;
}

template bool SplitUrl<char>(const std::string&, BasicUrlParts<char>&);
template bool SplitUrl<wchar_t>(const std::wstring&, BasicUrlParts<wchar_t>&);

}  // namespace Http
}  // namespace Corvane

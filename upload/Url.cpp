#include "upload/Url.h"

#include "support/Convert.h"

namespace {

bool ParsePort(const PxString& text, uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    uint32_t value = 0;
    for (PxChar c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

// Splits "host[:port]" or "[v6]:port" into host and port text.
bool SplitAuthority(const PxString& authority, PxString& host, PxString& portText) {
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == PxString::npos) return false;
        host = authority.substr(1, close - 1);
        const PxString rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') return false;
            portText = rest.substr(1);
            if (portText.empty()) return false;
        }
        return true;
    }
    const size_t colon = authority.find(':');
    host = authority.substr(0, colon);
    if (colon != PxString::npos) {
        portText = authority.substr(colon + 1);
        if (portText.empty()) return false;
    }
    return true;
}

bool IsValidHostChar(PxChar c) {
    return c > ' ' && c != 0x7F && c != '/' && c != '\\' && c != '@' && c != '[' && c != ']';
}

}  // namespace

bool SplitUrl(const PxString& url, UrlParts& parts) {
    parts = UrlParts();
    const size_t sep = url.find(PX_TEXT("://"));
    if (sep == PxString::npos || sep == 0) return false;
    PxString scheme = url.substr(0, sep);
    ToLower(scheme);
    const size_t hostStart = sep + 3;
    const size_t hostEnd = url.find_first_of(PX_TEXT("/?#"), hostStart);
    PxString authority = url.substr(hostStart, hostEnd == PxString::npos ? PxString::npos
                                                                          : hostEnd - hostStart);
    const size_t at = authority.rfind('@');
    if (at != PxString::npos) authority.erase(0, at + 1);
    PxString host, portText;
    if (!SplitAuthority(authority, host, portText) || host.empty()) return false;
    for (PxChar c : host) {
        if (!IsValidHostChar(c)) return false;
    }
    uint16_t port = 0;
    if (!portText.empty() && !ParsePort(portText, port)) return false;

    UrlScheme kind = UrlScheme::kUnknown;
    if (scheme == PX_TEXT("http")) kind = UrlScheme::kHttp;
    if (scheme == PX_TEXT("https")) kind = UrlScheme::kHttps;
    if (port == 0) port = kind == UrlScheme::kHttps ? 443 : (kind == UrlScheme::kHttp ? 80 : 0);

    PxString path;
    if (hostEnd != PxString::npos && url[hostEnd] == '/') {
        const size_t pathEnd = url.find_first_of(PX_TEXT("?#"), hostEnd);
        path = url.substr(hostEnd, pathEnd == PxString::npos ? PxString::npos : pathEnd - hostEnd);
    }
    if (path.empty()) path = PX_TEXT("/");

    ToLower(host);
    parts.scheme = kind;
    parts.host = host;
    parts.port = port;
    parts.path = path;
    return true;
}

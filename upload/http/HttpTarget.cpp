#include "upload/http/HttpTarget.h"

#include "upload/http/HttpHeaders.h"

namespace Corvane {
namespace Http {
namespace {

bool HasControlByte(const std::string& text) {
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) return true;
    }
    return false;
}

bool IsHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_';
}

bool ParsePort(const std::string& text, uint16_t& port) {
    if (text.empty()) {
        port = 80;
        return true;
    }
    if (text.size() > 5) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool ParseAuthority(std::string authority, HttpTarget& target) {
    size_t at = authority.rfind('@');
    if (at != std::string::npos) authority.erase(0, at + 1);
    size_t colon = authority.find(':');
    std::string host = authority.substr(0, colon);
    if (host.empty()) return false;
    for (char c : host)
        if (!IsHostChar(c)) return false;
    if (!ParsePort(colon == std::string::npos ? std::string() : authority.substr(colon + 1), target.port))
        return false;
    target.host = host;
    return true;
}

// Path and query up to the fragment, spaces written as "%20".
void SetPath(const std::string& text, HttpTarget& target) {
    std::string path = text.substr(0, text.find('#'));
    if (path.empty() || path[0] != '/') path.insert(0, "/");
    target.pathAndQuery.clear();
    for (char c : path) {
        if (c == ' ')
            target.pathAndQuery += "%20";
        else
            target.pathAndQuery += c;
    }
}

}  // namespace

bool ParseHttpUrl(const std::string& url, HttpTarget& target) {
    if (HasControlByte(url)) return false;
    size_t sep = url.find("://");
    if (sep == std::string::npos || !EqualsNoCase(url.substr(0, sep), "http")) return false;
    size_t start = sep + 3;
    size_t end = url.find_first_of("/?#", start);
    if (end == std::string::npos) end = url.size();
    HttpTarget parsed;
    if (!ParseAuthority(url.substr(start, end - start), parsed)) return false;
    SetPath(url.substr(end), parsed);
    target = parsed;
    return true;
}

bool ResolveLocation(const HttpTarget& base, const std::string& location, HttpTarget& target) {
    size_t begin = location.find_first_not_of(" \t");
    if (begin == std::string::npos || HasControlByte(location)) return false;
    std::string loc = location.substr(begin, location.find_last_not_of(" \t") - begin + 1);
    size_t sep = loc.find("://");
    if (sep != std::string::npos && loc.find_first_of("/?#") > sep) return ParseHttpUrl(loc, target);
    if (loc.compare(0, 2, "//") == 0) return ParseHttpUrl("http:" + loc, target);
    const std::string basePath = base.pathAndQuery.substr(0, base.pathAndQuery.find('?'));
    std::string path;
    if (loc[0] == '/')
        path = loc;
    else if (loc[0] == '?')
        path = basePath + loc;
    else
        path = basePath.substr(0, basePath.rfind('/') + 1) + loc;
    target = base;
    SetPath(path, target);
    return true;
}

}  // namespace Http
}  // namespace Corvane

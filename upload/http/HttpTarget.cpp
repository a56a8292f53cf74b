#include "upload/http/HttpTarget.h"

#include "upload/http/UrlSplit.h"

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
    BasicUrlParts<char> parts;
    if (!SplitUrl(url, parts) || parts.scheme != UrlScheme::kHttp || parts.ipv6Literal) return false;
    HttpTarget parsed;
    parsed.host = parts.host;
    parsed.port = parts.port;
    SetPath(parts.path + parts.query, parsed);
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

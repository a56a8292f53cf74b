#include "upload/http/HttpRequestHead.h"

namespace Corvane {
namespace Http {
namespace {

bool IsSafeText(const std::string& text, bool allowSpace) {
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || (c == ' ' && !allowSpace)) return false;
    }
    return true;
}

}  // namespace

bool BuildRequestHead(const RequestHeadFields& f, std::string& head) {
    head.clear();
    if (f.method.empty() || f.host.empty() || f.pathAndQuery.empty() || !IsSafeText(f.method, false) ||
        !IsSafeText(f.pathAndQuery, false) || !IsSafeText(f.host, false) || !IsSafeText(f.contentType, true) ||
        !IsSafeText(f.authField, false) || !IsSafeText(f.authValue, true))
        return false;
    std::string text = f.method + " " + f.pathAndQuery + " HTTP/1.1\r\n";
    if (f.contentLength != 0) text += "Content-Length: " + std::to_string(f.contentLength) + "\r\n";
    text += "Content-Type: " + f.contentType + "\r\n";
    if (!f.authField.empty()) text += f.authField + ": " + f.authValue + "\r\n";
    text += "Host: " + f.host + "\r\n";
    text += "User-Agent: Microsoft-ATL-Native/9.00\r\n\r\n";
    head.swap(text);
    return true;
}

}  // namespace Http
}  // namespace Corvane

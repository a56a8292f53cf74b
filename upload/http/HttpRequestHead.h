#pragma once
// The request head the socket client writes for a direct connection:
//   METHOD SP path-and-query SP "HTTP/1.1"
//   "Content-Length: N"          (only when the body is not empty)
//   "Content-Type: " type
//   authorization line           (only during an authentication step)
//   "Host: " host name           (no port, whatever the port)
//   "User-Agent: Microsoft-ATL-Native/9.00"
//   empty line
// every line ending in CR LF.
#include <cstddef>
#include <string>

namespace Corvane {
namespace Http {

struct RequestHeadFields {
    std::string method = "POST";
    std::string pathAndQuery = "/";
    std::string host;
    std::string contentType;
    size_t contentLength = 0;
    std::string authField;  // "Authorization" or "Proxy-Authorization"; empty for none
    std::string authValue;  // e.g. "Basic dXNlcjpwdw=="
};

// Builds the head into head. False, with head empty, when a field holds a
// byte that could end a line or split the request line (control bytes, and
// spaces in the method, target or host), so untrusted text can never add
// lines of its own.
bool BuildRequestHead(const RequestHeadFields& fields, std::string& head);

}  // namespace Http
}  // namespace Corvane

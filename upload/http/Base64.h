#pragma once
// Standard Base64 (RFC 4648 alphabet, '=' padding) for authentication tokens.
#include <string>

namespace Corvane {
namespace Http {

std::string Base64Encode(const std::string& bytes);
// Strict decoding: only alphabet characters, padding only at the end, and
// no more than maxBytes decoded bytes. False leaves bytes unspecified.
bool Base64Decode(const std::string& text, size_t maxBytes, std::string& bytes);

}  // namespace Http
}  // namespace Corvane

#include "upload/http/Base64.h"

namespace Corvane {
namespace Http {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int SextetOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string Base64Encode(const std::string& bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned long group = static_cast<unsigned char>(bytes[i]) << 16;
        size_t have = bytes.size() - i;
        if (have > 1) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (have > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += have > 1 ? kAlphabet[(group >> 6) & 63] : '=';
        text += have > 2 ? kAlphabet[group & 63] : '=';
    }
    return text;
}

bool Base64Decode(const std::string& text, size_t maxBytes, std::string& bytes) {
    bytes.clear();
    size_t length = text.size();
    size_t padding = 0;
    while (length > 0 && text[length - 1] == '=' && padding < 2) {
        --length;
        ++padding;
    }
    if (padding > 0 ? (length + padding) % 4 != 0 : length % 4 == 1) return false;
    if (length / 4 * 3 + (length % 4 == 0 ? 0 : length % 4 - 1) > maxBytes) return false;
    unsigned long group = 0;
    int bits = 0;
    for (size_t i = 0; i < length; ++i) {
        int sextet = SextetOf(text[i]);
        if (sextet < 0) return false;
        group = (group << 6) | static_cast<unsigned long>(sextet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    return true;
}

}  // namespace Http
}  // namespace Corvane

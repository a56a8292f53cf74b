#include "support/Convert.h"

#include "support/ConvertCodePage.h"

std::string AnsiToUtf8(const std::string& text) {
    return WideToCodePage(CodePageToWide(text, CodePage::kAnsi), CodePage::kUtf8);
}

std::wstring Utf8ToWide(const std::string& text) {
    return CodePageToWide(text, CodePage::kUtf8);
}

std::string WideToAnsi(const std::wstring& text) {
    return WideToCodePage(text, CodePage::kAnsi);
}

std::string Utf8ToAnsi(const std::string& text) {
    return WideToCodePage(CodePageToWide(text, CodePage::kUtf8), CodePage::kAnsi);
}

std::string WideToMultiByte(const std::wstring& text, bool utf8) {
    return WideToCodePage(text, utf8 ? CodePage::kUtf8 : CodePage::kAnsi);
}

std::wstring MultiByteToWide(const std::string& text, bool utf8) {
    return CodePageToWide(text, utf8 ? CodePage::kUtf8 : CodePage::kAnsi);
}

namespace {

bool IsAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSpaceByte(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

template <typename S>
void LowerAscii(S& text) {
    for (auto& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<typename S::value_type>(c - 'A' + 'a');
    }
}

template <typename S>
void ReplaceEvery(S& text, const S& needle, const S& replacement) {
    if (needle.empty()) return;
    S out;
    size_t from = 0;
    for (size_t at = text.find(needle); at != S::npos; at = text.find(needle, from)) {
        out.append(text, from, at - from);
        out += replacement;
        from = at + needle.size();
    }
    if (from == 0) return;
    out.append(text, from, S::npos);
    text.swap(out);
}

}  // namespace

std::string UrlEncode(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (unsigned char c : bytes) {
        if (IsAsciiAlnum(c)) {
            out += static_cast<char>(c);
        } else if (IsSpaceByte(c)) {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

void ToLower(std::string& text) { LowerAscii(text); }
void ToLower(std::wstring& text) { LowerAscii(text); }

void ReplaceAll(std::string& text, const std::string& needle, const std::string& replacement) {
    ReplaceEvery(text, needle, replacement);
}

void ReplaceAll(std::wstring& text, const std::wstring& needle, const std::wstring& replacement) {
    ReplaceEvery(text, needle, replacement);
}

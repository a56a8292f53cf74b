// Native conversions for the Linux build: exact UTF-8 <-> UTF-16, and the
// ANSI code page taken to be Windows-1252. Wide strings hold UTF-16 code units.
#include "support/ConvertCodePage.h"

#include <cstdint>

namespace {

const char32_t kReplacement = 0xFFFD;

// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 control of
// the same value, as the Windows table does.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf16(std::wstring& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<wchar_t>(cp);
    }
}

// Decodes one UTF-8 sequence at bytes[i]; advances i past what it consumed
// (one byte for a malformed lead or truncated sequence).
char32_t DecodeUtf8(const std::string& bytes, size_t& i) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i++]);
    if (lead < 0x80) return lead;
    int extra;
    char32_t cp, minimum;
    if (lead >= 0xC2 && lead <= 0xDF) { extra = 1; cp = lead & 0x1F; minimum = 0x80; }
    else if (lead >= 0xE0 && lead <= 0xEF) { extra = 2; cp = lead & 0x0F; minimum = 0x800; }
    else if (lead >= 0xF0 && lead <= 0xF4) { extra = 3; cp = lead & 0x07; minimum = 0x10000; }
    else return kReplacement;
    size_t j = i;
    for (int k = 0; k < extra; ++k, ++j) {
        if (j >= bytes.size()) return kReplacement;
        const unsigned char c = static_cast<unsigned char>(bytes[j]);
        if ((c & 0xC0) != 0x80) return kReplacement;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    i = j;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Reads one code point from UTF-16 units; a lone surrogate gives U+FFFD.
char32_t NextCodePoint(const std::wstring& text, size_t& i) {
    const char32_t unit = static_cast<char32_t>(text[i++]) & 0xFFFF;
    if (unit < 0xD800 || unit > 0xDFFF) return unit;
    if (unit <= 0xDBFF && i < text.size()) {
        const char32_t low = static_cast<char32_t>(text[i]) & 0xFFFF;
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++i;
            return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return kReplacement;
}

char EncodeCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (int k = 0; k < 32; ++k) {
        if (kCp1252High[k] == cp) return static_cast<char>(0x80 + k);
    }
    return '?';
}

}  // namespace

std::wstring CodePageToWide(const std::string& bytes, CodePage page) {
    std::wstring out;
    out.reserve(bytes.size());
    if (page == CodePage::kAnsi) {
        for (unsigned char c : bytes) {
            out += static_cast<wchar_t>(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
        }
        return out;
    }
    for (size_t i = 0; i < bytes.size();) AppendUtf16(out, DecodeUtf8(bytes, i));
    return out;
}

std::string WideToCodePage(const std::wstring& text, CodePage page) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t cp = NextCodePoint(text, i);
        if (page == CodePage::kAnsi) {
            out += EncodeCp1252(cp);
        } else {
            AppendUtf8(out, cp);
        }
    }
    return out;
}

// Wide file names on POSIX systems: convert to UTF-8, the file-system
// encoding, and open with fopen. Invalid code points (lone surrogates,
// values above U+10FFFF) refuse the open rather than name another file.
#include <string>

#include "image/PxIOFileOpen.h"

namespace {

bool AppendUtf8(std::string& out, char32_t c) {
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        return false;
    }
    return true;
}

// Accepts both UTF-16 (surrogate pairs) and UTF-32 wchar_t contents.
bool ToUtf8(const wchar_t* text, std::string& out) {
    for (; *text; ++text) {
        char32_t c = static_cast<char32_t>(*text);
        if (c >= 0xD800 && c <= 0xDBFF) {
            char32_t low = static_cast<char32_t>(text[1]);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++text;
        }
        if (!AppendUtf8(out, c))
            return false;
    }
    return true;
}

}  // namespace

FILE* PxOpenStdioFile(const PxChar* name, const PxChar* mode) {
    std::string utf8Name, utf8Mode;
    if (!ToUtf8(name, utf8Name) || !ToUtf8(mode, utf8Mode))
        return nullptr;
    return std::fopen(utf8Name.c_str(), utf8Mode.c_str());
}

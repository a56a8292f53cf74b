#include "hosts/activex/RegistryScript.h"

#include <cwctype>

namespace {

bool SameWord(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return i == a.size() && b[i] == 0;
}

// Splits the text into braces, "=", quoted names and bare words.
class Lexer {
public:
    explicit Lexer(const std::wstring& text) : text_(text) {}

    enum Kind { kEnd, kOpen, kClose, kEquals, kQuoted, kWord, kError };
    struct Token {
        Kind kind = kEnd;
        std::wstring text;
    };

    Token Next() {
        Token token;
        while (pos_ < text_.size() && std::iswspace(text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) return token;
        const wchar_t c = text_[pos_];
        if (c == L'=') {
            ++pos_;
            token.kind = kEquals;
            return token;
        }
        if (c == L'\'') return Quoted();
        // Words run to white space, so a bare {GUID} is one word and a brace
        // is a token of its own only where white space surrounds it.
        while (pos_ < text_.size() && !std::iswspace(text_[pos_]) && text_[pos_] != L'=' &&
               text_[pos_] != L'\'')
            token.text += text_[pos_++];
        token.kind = token.text == L"{" ? kOpen : token.text == L"}" ? kClose : kWord;
        return token;
    }

    Token Peek() {
        const size_t saved = pos_;
        Token token = Next();
        pos_ = saved;
        return token;
    }

private:
    Token Quoted() {
        Token token;
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size()) {
                token.kind = kError;  // unterminated
                return token;
            }
            const wchar_t c = text_[pos_++];
            if (c != L'\'') {
                token.text += c;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == L'\'') {
                token.text += L'\'';
                ++pos_;
                continue;
            }
            token.kind = kQuoted;
            return token;
        }
    }

    const std::wstring& text_;
    size_t pos_ = 0;
};

bool IsName(const Lexer::Token& t) { return t.kind == Lexer::kQuoted || t.kind == Lexer::kWord; }

bool ParseNumber(const std::wstring& text, uint32_t& out) {
    if (text.empty()) return false;
    unsigned base = 10;
    size_t i = 0;
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        base = 16;
        i = 2;
    }
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const wchar_t c = text[i];
        unsigned digit;
        if (c >= L'0' && c <= L'9') digit = c - L'0';
        else if (base == 16 && c >= L'a' && c <= L'f') digit = c - L'a' + 10;
        else if (base == 16 && c >= L'A' && c <= L'F') digit = c - L'A' + 10;
        else return false;
        value = value * base + digit;
        if (value > 0xFFFFFFFFu) return false;
    }
    out = uint32_t(value);
    return true;
}

// After "=": a type letter and its quoted text.
bool ParseValue(Lexer& lexer, RegistryValue& value) {
    const Lexer::Token type = lexer.Next();
    const Lexer::Token text = lexer.Next();
    if (type.kind != Lexer::kWord || !IsName(text)) return false;
    if (SameWord(type.text, L"s")) {
        value.kind = RegistryValue::kString;
        value.text = text.text;
        return true;
    }
    if (SameWord(type.text, L"d")) {
        value.kind = RegistryValue::kDword;
        return ParseNumber(text.text, value.number);
    }
    return false;
}

bool ParseKeys(Lexer& lexer, std::vector<RegistryKey>& keys,
               std::vector<std::pair<std::wstring, RegistryValue>>* values, int depth);

bool ParseKey(Lexer& lexer, Lexer::Token name, RegistryKey& key, int depth) {
    const struct {
        const wchar_t* word;
        RegistryKey::Removal removal;
    } kModifiers[] = {{L"NoRemove", RegistryKey::kNoRemove},
                      {L"ForceRemove", RegistryKey::kForceRemove},
                      {L"Delete", RegistryKey::kDelete}};
    if (name.kind == Lexer::kWord) {
        for (const auto& m : kModifiers) {
            if (SameWord(name.text, m.word)) {
                key.removal = m.removal;
                name = lexer.Next();
                break;
            }
        }
    }
    if (!IsName(name) || name.text.empty()) return false;
    key.name = name.text;
    if (lexer.Peek().kind == Lexer::kEquals) {
        lexer.Next();
        if (!ParseValue(lexer, key.defaultValue)) return false;
        key.hasDefault = true;
    }
    if (lexer.Peek().kind == Lexer::kOpen) {
        lexer.Next();
        return ParseKeys(lexer, key.subkeys, &key.values, depth + 1);
    }
    return true;
}

// Keys (and, inside a key, named values) up to the closing brace.
bool ParseKeys(Lexer& lexer, std::vector<RegistryKey>& keys,
               std::vector<std::pair<std::wstring, RegistryValue>>* values, int depth) {
    // Deeper than any real script; keeps a hostile one from exhausting the stack.
    if (depth > 32) return false;
    for (;;) {
        Lexer::Token token = lexer.Next();
        if (token.kind == Lexer::kClose) return true;
        if (!IsName(token)) return false;
        if (values != nullptr && token.kind == Lexer::kWord && SameWord(token.text, L"val")) {
            const Lexer::Token name = lexer.Next();
            RegistryValue value;
            if (!IsName(name) || lexer.Next().kind != Lexer::kEquals || !ParseValue(lexer, value))
                return false;
            values->emplace_back(name.text, value);
            continue;
        }
        keys.emplace_back();
        if (!ParseKey(lexer, token, keys.back(), depth)) return false;
    }
}

}  // namespace

bool ExpandRegistryScript(const std::wstring& text, const RegistryReplacements& replacements,
                          std::wstring& out) {
    out.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find(L'%', pos);
        if (open == std::wstring::npos) {
            out.append(text, pos, std::wstring::npos);
            break;
        }
        out.append(text, pos, open - pos);
        const size_t close = text.find(L'%', open + 1);
        if (close == std::wstring::npos) return false;
        const std::wstring name = text.substr(open + 1, close - open - 1);
        pos = close + 1;
        if (name.empty()) {
            out += L'%';
            continue;
        }
        const std::wstring* value = nullptr;
        for (const auto& r : replacements)
            if (r.first == name) value = &r.second;
        if (value == nullptr) return false;
        for (wchar_t c : *value) {
            if (c == L'\'') out += L'\'';
            out += c;
        }
    }
    return true;
}

bool ParseRegistryScript(const std::wstring& text, std::vector<RegistryRoot>& roots) {
    roots.clear();
    Lexer lexer(text);
    for (;;) {
        const Lexer::Token name = lexer.Next();
        if (name.kind == Lexer::kEnd) return true;
        if (name.kind != Lexer::kWord || lexer.Next().kind != Lexer::kOpen) return false;
        roots.emplace_back();
        roots.back().name = name.text;
        if (!ParseKeys(lexer, roots.back().keys, nullptr, 0)) return false;
    }
}

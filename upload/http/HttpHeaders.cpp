#include "upload/http/HttpHeaders.h"

namespace Corvane {
namespace Http {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string TrimBlanks(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

}  // namespace

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

const std::string* HttpHeaders::Find(const std::string& name) const {
    for (const auto& field : fields_)
        if (EqualsNoCase(field.first, name)) return &field.second;
    return nullptr;
}

std::vector<std::string> HttpHeaders::FindAll(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& field : fields_)
        if (EqualsNoCase(field.first, name)) values.push_back(field.second);
    return values;
}

bool HttpHeaders::HasToken(const std::string& name, const std::string& token) const {
    for (const auto& value : FindAll(name)) {
        size_t start = 0;
        while (start <= value.size()) {
            size_t comma = value.find(',', start);
            if (comma == std::string::npos) comma = value.size();
            if (EqualsNoCase(TrimBlanks(value.substr(start, comma - start)), token)) return true;
            start = comma + 1;
        }
    }
    return false;
}

}  // namespace Http
}  // namespace Corvane

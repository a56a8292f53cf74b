#pragma once
// Header fields of one HTTP reply, in the order received. Names compare
// without regard to ASCII case; values are kept as received, trimmed of
// surrounding blanks.
#include <string>
#include <utility>
#include <vector>

namespace Corvane {
namespace Http {

bool EqualsNoCase(const std::string& a, const std::string& b);

class HttpHeaders {
public:
    void Add(std::string name, std::string value) { fields_.emplace_back(std::move(name), std::move(value)); }
    void Clear() { fields_.clear(); }
    size_t Count() const { return fields_.size(); }
    // First value of the named field, or null when absent.
    const std::string* Find(const std::string& name) const;
    // Every value of the named field, in order.
    std::vector<std::string> FindAll(const std::string& name) const;
    // True when the comma-separated list in any field of that name holds the token.
    bool HasToken(const std::string& name, const std::string& token) const;

private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

}  // namespace Http
}  // namespace Corvane

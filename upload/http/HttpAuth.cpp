#include "upload/http/HttpAuth.h"

#include "upload/http/Base64.h"

namespace Corvane {
namespace Http {
namespace {

bool IsTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::string("!#$%&'*+-.^_`|~").find(c) != std::string::npos);
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// Comma-separated pieces of a field value, commas in quoted strings kept.
std::vector<std::string> SplitOutsideQuotes(const std::string& value) {
    std::vector<std::string> pieces(1);
    bool quoted = false;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (quoted && c == '\\' && i + 1 < value.size()) {
            pieces.back() += c;
            c = value[++i];
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            pieces.emplace_back();
            continue;
        }
        pieces.back() += c;
    }
    return pieces;
}

// A piece starts a new challenge when it begins with a token that is not a
// parameter name (not followed by '=') and is followed by a blank or nothing.
bool StartsChallenge(const std::string& piece, std::string& scheme, std::string& rest) {
    size_t n = 0;
    while (n < piece.size() && IsTokenChar(piece[n])) ++n;
    if (n == 0) return false;
    if (n < piece.size() && piece[n] != ' ' && piece[n] != '\t') return false;
    std::string after = Trim(piece.substr(n));
    if (!after.empty() && after[0] == '=' && after.find_first_not_of('=') != std::string::npos) return false;
    scheme = piece.substr(0, n);
    rest = after;
    return true;
}

}  // namespace

std::vector<AuthChallenge> ParseChallenges(const std::vector<std::string>& fieldValues) {
    std::vector<AuthChallenge> challenges;
    for (const auto& value : fieldValues) {
        bool inChallenge = false;
        for (const auto& raw : SplitOutsideQuotes(value)) {
            std::string piece = Trim(raw);
            if (piece.empty()) continue;
            std::string scheme, rest;
            if (StartsChallenge(piece, scheme, rest)) {
                challenges.push_back({scheme, rest});
                inChallenge = true;
            } else if (inChallenge) {
                challenges.back().params += (challenges.back().params.empty() ? "" : ", ") + piece;
            }
        }
    }
    return challenges;
}

BasicAuth::BasicAuth(std::string user, std::string password)
    : hasCredentials_(true), user_(std::move(user)), password_(std::move(password)) {}

bool BasicAuth::Answer(const std::string&, std::string& value) {
    // A second challenge means the credentials were refused: do not loop.
    if (!hasCredentials_ || answered_) return false;
    answered_ = true;
    value = "Basic " + Base64Encode(user_ + ":" + password_);
    return true;
}

NtlmAuth::NtlmAuth(SecurityContextFactory factory) : factory_(std::move(factory)) {}

void NtlmAuth::Reset() {
    context_.reset();
    stage_ = Stage::Idle;
}

bool NtlmAuth::Answer(const std::string& params, std::string& value) {
    std::string token;
    if (stage_ == Stage::Idle && params.empty()) {
        context_ = factory_ ? factory_() : nullptr;
        if (!context_ || !context_->Step(std::string(), token) || token.empty()) return false;
        stage_ = Stage::NegotiateSent;
    } else if (stage_ == Stage::NegotiateSent && !params.empty()) {
        std::string challenge;
        if (params.size() > kMaxTokenBytes * 2 || !Base64Decode(params, kMaxTokenBytes, challenge) ||
            challenge.empty() || !context_->Step(challenge, token) || token.empty())
            return false;
        stage_ = Stage::ResponseSent;
    } else {
        return false;  // refused after the response, or out of order
    }
    value = "NTLM " + Base64Encode(token);
    return true;
}

}  // namespace Http
}  // namespace Corvane

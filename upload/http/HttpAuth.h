#pragma once
// Authentication schemes the socket client can answer a 401 (or 407) with.
// A scheme turns the server's challenge into the value of the next request's
// authorization line, or declines, which makes the challenge reply final.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Corvane {
namespace Http {

// One challenge from a WWW-Authenticate / Proxy-Authenticate field: the scheme
// name and everything after it (a token68 or auth-params, possibly empty).
struct AuthChallenge {
    std::string scheme;
    std::string params;
};

// Splits field values into challenges; commas inside quoted strings and
// between one challenge's parameters do not start a new challenge.
std::vector<AuthChallenge> ParseChallenges(const std::vector<std::string>& fieldValues);

class AuthScheme {
public:
    virtual ~AuthScheme() = default;
    // Forgets any exchange in progress; called before each navigation and
    // after a redirect.
    virtual void Reset() = 0;
    // Answers the challenge's parameters with the full authorization value
    // ("Basic ...", "NTLM ..."). False declines.
    virtual bool Answer(const std::string& params, std::string& value) = 0;
    // True when the exchange only holds on the connection it started on.
    virtual bool BoundToConnection() const = 0;
};

// Basic: answers once with Base64(user ":" password). Without credentials it
// declines every challenge.
class BasicAuth : public AuthScheme {
public:
    BasicAuth() = default;
    BasicAuth(std::string user, std::string password);
    void Reset() override { answered_ = false; }
    bool Answer(const std::string& params, std::string& value) override;
    bool BoundToConnection() const override { return false; }

private:
    bool hasCredentials_ = false;
    bool answered_ = false;
    std::string user_;
    std::string password_;
};

// The client side of a security context that produces NTLM tokens: the
// operating system's security support on Windows, a scripted fake in tests.
class SecurityContext {
public:
    virtual ~SecurityContext() = default;
    // Given the server's token (empty for the first step) produces the next
    // token to send. False on any failure of the security package.
    virtual bool Step(const std::string& serverToken, std::string& clientToken) = 0;
};

using SecurityContextFactory = std::function<std::unique_ptr<SecurityContext>()>;

// NTLM over HTTP: negotiate token on the bare "NTLM" challenge, response
// token on the "NTLM <challenge>" that follows, all on one connection.
class NtlmAuth : public AuthScheme {
public:
    // Challenge tokens larger than this are refused before decoding.
    static constexpr size_t kMaxTokenBytes = 16 * 1024;

    explicit NtlmAuth(SecurityContextFactory factory);
    void Reset() override;
    bool Answer(const std::string& params, std::string& value) override;
    bool BoundToConnection() const override { return true; }

private:
    enum class Stage { Idle, NegotiateSent, ResponseSent };

    SecurityContextFactory factory_;
    std::unique_ptr<SecurityContext> context_;
    Stage stage_ = Stage::Idle;
};

}  // namespace Http
}  // namespace Corvane

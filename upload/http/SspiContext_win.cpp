#include "upload/http/SspiContext.h"

#define SECURITY_WIN32
#include <windows.h>
#include <security.h>
#include <sspi.h>

#include <vector>

namespace Corvane {
namespace Http {
namespace {

// Output tokens larger than this are not believed, whatever the package says.
const unsigned long kMaxTokenBytes = 64 * 1024;

class SspiNtlmContext : public SecurityContext {
public:
    SspiNtlmContext() {
        SecInvalidateHandle(&credentials_);
        SecInvalidateHandle(&context_);
    }
    ~SspiNtlmContext() override {
        if (SecIsValidHandle(&context_)) DeleteSecurityContext(&context_);
        if (SecIsValidHandle(&credentials_)) FreeCredentialsHandle(&credentials_);
    }
    SspiNtlmContext(const SspiNtlmContext&) = delete;
    SspiNtlmContext& operator=(const SspiNtlmContext&) = delete;

    bool Step(const std::string& serverToken, std::string& clientToken) override;

private:
    bool Acquire();

    CredHandle credentials_;
    CtxtHandle context_;
    unsigned long maxToken_ = 0;
};

bool SspiNtlmContext::Acquire() {
    PSecPkgInfoW info = nullptr;
    if (QuerySecurityPackageInfoW(const_cast<SEC_WCHAR*>(L"NTLM"), &info) != SEC_E_OK || !info) return false;
    maxToken_ = info->cbMaxToken;
    FreeContextBuffer(info);
    if (maxToken_ == 0 || maxToken_ > kMaxTokenBytes) return false;
    TimeStamp expiry;
    // No identity: the logged-on user's credentials.
    SECURITY_STATUS status = AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(L"NTLM"), SECPKG_CRED_OUTBOUND,
                                                       nullptr, nullptr, nullptr, nullptr, &credentials_, &expiry);
    if (status != SEC_E_OK) {
        SecInvalidateHandle(&credentials_);
        return false;
    }
    return true;
}

bool SspiNtlmContext::Step(const std::string& serverToken, std::string& clientToken) {
    clientToken.clear();
    const bool first = !SecIsValidHandle(&context_);
    if (first && !SecIsValidHandle(&credentials_) && !Acquire()) return false;
    if (!first && serverToken.empty()) return false;
    if (serverToken.size() > kMaxTokenBytes) return false;

    std::vector<char> input(serverToken.begin(), serverToken.end());
    SecBuffer inBuffer = {static_cast<unsigned long>(input.size()), SECBUFFER_TOKEN, input.data()};
    SecBufferDesc inDesc = {SECBUFFER_VERSION, 1, &inBuffer};
    std::vector<char> output(maxToken_);
    SecBuffer outBuffer = {maxToken_, SECBUFFER_TOKEN, output.data()};
    SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, &outBuffer};
    unsigned long attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS status = InitializeSecurityContextW(
        &credentials_, first ? nullptr : &context_, nullptr, ISC_REQ_CONNECTION, 0, SECURITY_NATIVE_DREP,
        first ? nullptr : &inDesc, 0, &context_, &outDesc, &attributes, &expiry);
    if (status == SEC_I_COMPLETE_NEEDED || status == SEC_I_COMPLETE_AND_CONTINUE) {
        if (CompleteAuthToken(&context_, &outDesc) != SEC_E_OK) return false;
    } else if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
        if (first) SecInvalidateHandle(&context_);
        return false;
    }
    if (outBuffer.cbBuffer > maxToken_) return false;
    clientToken.assign(output.data(), outBuffer.cbBuffer);
    return !clientToken.empty();
}

}  // namespace

std::unique_ptr<SecurityContext> CreateSspiNtlmContext() { return std::unique_ptr<SecurityContext>(new SspiNtlmContext()); }

}  // namespace Http
}  // namespace Corvane

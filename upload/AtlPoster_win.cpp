#include "upload/AtlPoster.h"

#include "upload/http/SspiContext.h"
#include "upload/http/WinsockTransport.h"

namespace {

AtlPoster::Platform WindowsPlatform() {
    AtlPoster::Platform platform;
    platform.makeTransport = [] {
        return std::unique_ptr<Corvane::Http::HttpTransport>(new Corvane::Http::WinsockTransport());
    };
    platform.makeSecurityContext = Corvane::Http::CreateSspiNtlmContext;
    return platform;
}

}  // namespace

AtlPoster::AtlPoster() : AtlPoster(WindowsPlatform()) {}

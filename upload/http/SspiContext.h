#pragma once
// The NTLM security context of the operating system's security support
// (SSPI): credentials of the logged-on user, connection-oriented context.
// Windows builds only.
#include <memory>

#include "upload/http/HttpAuth.h"

namespace Corvane {
namespace Http {

// A fresh context; its first Step acquires the credentials. Every failure of
// the security package shows as a false Step, never as an exception.
std::unique_ptr<SecurityContext> CreateSspiNtlmContext();

}  // namespace Http
}  // namespace Corvane

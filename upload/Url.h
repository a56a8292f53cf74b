#pragma once
// URL splitting shared by CreatePoster and both uploaders.
#include <cstdint>

#include "support/Flavour.h"

enum class UrlScheme { kUnknown, kHttp, kHttps };

struct UrlParts {
    UrlScheme scheme = UrlScheme::kUnknown;
    PxString host;      // lower-cased, without brackets for an IPv6 literal
    uint16_t port = 0;  // the URL's port, else 80 for http, 443 for https
    PxString path;      // from the first "/" after the host up to "?" or "#"; "/" when absent
};

// Splits "scheme://[user@]host[:port][/path][?query][#fragment]". Returns false
// for text that does not parse (then host is empty and scheme kUnknown); a
// well-formed URL of another scheme returns true with scheme kUnknown.
bool SplitUrl(const PxString& url, UrlParts& parts);

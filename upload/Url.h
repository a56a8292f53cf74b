#pragma once
// The upload address in the flavour's text type, as CreatePoster and the
// system-HTTP uploader read it. The one parser lives in upload/http/UrlSplit.h,
// where the socket client's HttpTarget reads the same parts.
#include "support/Flavour.h"
#include "upload/http/UrlSplit.h"

using Corvane::Http::SplitUrl;
using Corvane::Http::UrlScheme;
typedef Corvane::Http::BasicUrlParts<PxChar> UrlParts;

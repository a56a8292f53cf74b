#include "support/Convert.h"
#include "upload/AtlPoster.h"
#include "upload/Url.h"
#include "upload/WinINetPoster.h"

// https needs the system library's TLS, and "localhost" (any case, any port)
// goes through the system library too; everything else, including
// 127.0.0.1 and text that is no URL at all, through the socket client, which
// then fails the upload cleanly.
HttpPoster* CreatePoster(const PxString& url) {
    UrlParts parts;
    SplitUrl(url, parts);  // text that is no URL leaves the parts empty
    ToLower(parts.host);
    HttpPoster* poster;
    if (parts.scheme == UrlScheme::kHttps || parts.host == PX_TEXT("localhost"))
        poster = new WinINetPoster();
    else
        poster = new AtlPoster();
    poster->SetUrl(url);
    return poster;
}

// Script-supplied text reaches the upload layer as the upload address and as
// form field names and values. Splits arbitrary text as a URL and builds a form
// from it, checking the invariants the uploaders rely on: a split URL has a
// path starting with "/", no query or fragment and no control byte; the socket
// client reads the same host and port from it; the declared content length
// equals the assembled body; and a form that passes its check carries exactly
// one delimiter per part.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/Convert.h"
#include "upload/HttpForm.h"
#include "upload/Url.h"
#include "upload/http/HttpTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    UrlParts parts;
    if (SplitUrl(text, parts)) {
        if (parts.host.empty() || parts.path.empty() || parts.path[0] != '/') __builtin_trap();
        if (parts.path.find_first_of("?#") != std::string::npos) __builtin_trap();
        for (char c : text)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) __builtin_trap();
    }
    Corvane::Http::HttpTarget target;
    if (Corvane::Http::ParseHttpUrl(text, target)) {
        UrlParts again;
        if (!SplitUrl(text, again) || again.scheme != UrlScheme::kHttp || again.host != target.host ||
            again.port != target.port)
            __builtin_trap();
    }

    const size_t cut = size / 2;
    HttpForm form;
    form.SetCharset(size % 2 ? "utf-8" : "gb2312");
    form.AddField(text.substr(0, cut), text.substr(cut));
    form.AddIntField(text.substr(cut), static_cast<int32_t>(size) - 1000);
    form.AddFile(text.substr(0, cut % 16), static_cast<int32_t>(size));
    const std::string body = ToBodyBytes(form.BuildFieldsText()) + text + "\r\n" + ToBodyBytes(form.BuildTrailer());
    if (body.size() != form.GetContentLength()) __builtin_trap();
    if (form.IsWellFormed()) {
        const std::string fields = ToBodyBytes(form.BuildFieldsText());
        const std::string boundary = ToBodyBytes(kHttpBoundary);
        size_t delimiters = 0;
        for (size_t at = fields.find(boundary); at != std::string::npos; at = fields.find(boundary, at + 1))
            ++delimiters;
        if (delimiters != form.GetFieldCount()) __builtin_trap();
    }
    return 0;
}

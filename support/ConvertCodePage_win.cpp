// Windows conversions: the system routines with default flags, sized by a
// first call and filled by a second.
#include "support/ConvertCodePage.h"

#include <windows.h>

#include <climits>

namespace {

UINT ToSystem(CodePage page) { return page == CodePage::kUtf8 ? CP_UTF8 : CP_ACP; }

}  // namespace

std::wstring CodePageToWide(const std::string& bytes, CodePage page) {
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return std::wstring();
    const int inLength = static_cast<int>(bytes.size());
    const UINT cp = ToSystem(page);
    const int needed = MultiByteToWideChar(cp, 0, bytes.data(), inLength, nullptr, 0);
    if (needed <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(needed), L'\0');
    const int written = MultiByteToWideChar(cp, 0, bytes.data(), inLength, &out[0], needed);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}

std::string WideToCodePage(const std::wstring& text, CodePage page) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::string();
    const int inLength = static_cast<int>(text.size());
    const UINT cp = ToSystem(page);
    const int needed = WideCharToMultiByte(cp, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string out(static_cast<size_t>(needed), '\0');
    const int written =
        WideCharToMultiByte(cp, 0, text.data(), inLength, &out[0], needed, nullptr, nullptr);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}

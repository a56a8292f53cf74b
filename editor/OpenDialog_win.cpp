#include "editor/OpenDialog.h"

#include <cstring>
#include <string>

#include "editor/EditorInput.h"
#include "support/Convert.h"

namespace {

OpenDialogObserver g_observer = nullptr;

// The first pair's display text, kept as UTF-8 in the source and converted
// to the flavour's text: the ANSI code page for the 8-bit dialog.
const char kAllPicturesUtf8[] = "\xE6\x89\x80\xE6\x9C\x89\xE5\x9B\xBE\xE7\x89\x87\xE6\xA0\xBC"
                                "\xE5\xBC\x8F(gif,png,jpg,bmp)";

[[maybe_unused]] std::string FromUtf8(const std::string& text, char) { return Utf8ToAnsi(text); }
[[maybe_unused]] std::wstring FromUtf8(const std::string& text, wchar_t) { return Utf8ToWide(text); }

PxString BuildFilter() {
    const PxString all = FromUtf8(kAllPicturesUtf8, PxChar());
    const PxString pairs[] = {all,
                              PX_TEXT("*.bmp;*.gif;*.jpg;*.jpeg;*.png"),
                              PX_TEXT("bmp"),
                              PX_TEXT("*.bmp"),
                              PX_TEXT("gif"),
                              PX_TEXT("*.gif"),
                              PX_TEXT("jpg,jpeg"),
                              PX_TEXT("*.jpg;*.jpeg"),
                              PX_TEXT("png"),
                              PX_TEXT("*.png")};
    PxString filter;
    for (const PxString& part : pairs) {
        filter += part;
        filter.push_back(PxChar());
    }
    filter.push_back(PxChar());
    return filter;
}

// The framework's own hook: the dialog keeps its default behaviour; the
// observer, when one is set, learns the dialog's window once it is ready.
UINT_PTR CALLBACK DialogHook(HWND child, UINT msg, WPARAM, LPARAM lp) {
    if (msg == WM_NOTIFY && g_observer != nullptr) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lp);
        if (header != nullptr && header->code == CDN_INITDONE) g_observer(GetParent(child));
    }
    return 0;
}

bool ReadSystemVersion(uint32_t& major, uint32_t& minor) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL ok = GetVersionExW(&info);
#pragma GCC diagnostic pop
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    return ok != FALSE;
}

[[maybe_unused]] BOOL CallDialog(OPENFILENAMEA& ofn) { return GetOpenFileNameA(&ofn); }
[[maybe_unused]] BOOL CallDialog(OPENFILENAMEW& ofn) { return GetOpenFileNameW(&ofn); }

}  // namespace

const PxChar* OpenDialogFilter() {
    static const PxString filter = BuildFilter();
    return filter.c_str();
}

OpenDialogSetup::OpenDialogSetup(HWND owner, const PxString& initialFolder)
    : folder(initialFolder) {
    std::memset(&ofn, 0, sizeof(ofn));
    std::memset(file, 0, sizeof(file));
    std::memset(title, 0, sizeof(title));
    uint32_t major = 0, minor = 0;
    const bool known = ReadSystemVersion(major, minor);
    ofn.lStructSize = UsesOldOpenFileNameLayout(known, major, minor) ? OPENFILENAME_SIZE_VERSION_400
                                                                     : sizeof(PxOpenFileName);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = OpenDialogFilter();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = kFileChars;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = kTitleChars;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK | OFN_PATHMUSTEXIST |
                OFN_FILEMUSTEXIST;
    ofn.lpfnHook = DialogHook;
}

bool RunOpenDialog(OpenDialogSetup& setup, PxString& path) {
    if (!CallDialog(setup.ofn)) return false;
    path = setup.file;
    return !path.empty();
}

void SetOpenDialogObserver(OpenDialogObserver observer) { g_observer = observer; }

// The test program carries the deliverable's resource script (TestModule_*.rc),
// so its own version resource is the one the DLL will ship.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Flavour.h"

namespace {

class VersionData {
public:
    VersionData() {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
        if (size == 0) return;
        data_.resize(size);
        if (!GetFileVersionInfoW(path, 0, size, data_.data())) data_.clear();
    }
    bool Ok() const { return !data_.empty(); }
    std::wstring String(const std::wstring& block, const std::wstring& key) {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring query = L"\\StringFileInfo\\" + block + L"\\" + key;
        if (!VerQueryValueW(data_.data(), query.c_str(), &value, &length) || value == nullptr)
            return L"<missing>";
        return std::wstring(static_cast<const wchar_t*>(value));
    }
    const VS_FIXEDFILEINFO* Fixed() {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\", &value, &length)) return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }
    DWORD Translation() {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
            length < 4)
            return 0;
        const WORD* pair = static_cast<const WORD*>(value);
        return MAKELONG(pair[1], pair[0]);  // language in the high word
    }

private:
    std::vector<unsigned char> data_;
};

}  // namespace

TEST(VersionResource, FixedVersionAndFlags) {
    VersionData version;
    ASSERT_TRUE(version.Ok());
    const VS_FIXEDFILEINFO* fixed = version.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(20662, 3));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(20662, 3));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileFlags, FlavourTraits::kIsNpapi ? 0x28u : 0u);
}

TEST(VersionResource, StringsBrowsersAndShellsRead) {
    VersionData version;
    ASSERT_TRUE(version.Ok());
    if (FlavourTraits::kIsNpapi) {
        EXPECT_EQ(version.Translation(), MAKELONG(1252, 0x0409));
        const std::wstring block = L"040904E4";
        EXPECT_EQ(version.String(block, L"MIMEType"), L"application/npPixmend");
        EXPECT_EQ(version.String(block, L"ProductName"), L"npPixmend");
        EXPECT_EQ(version.String(block, L"FileDescription"), L"Pixmend\u6807\u51C6\u7248");
        EXPECT_EQ(version.String(block, L"InternalName"), L"npPixmend.dll");
        EXPECT_EQ(version.String(block, L"OriginalFilename"), L"npPixmend.dll");
        for (const wchar_t* key : {L"FileVersion", L"ProductVersion", L"PrivateBuild",
                                   L"SpecialBuild"})
            EXPECT_EQ(version.String(block, key), L"1, 0, 3, 20662") << key;
        EXPECT_EQ(version.String(block, L"FileExtents"), L"<missing>");
    } else {
        EXPECT_EQ(version.Translation(), MAKELONG(936, 0x0804));
        const std::wstring block = L"080403A8";
        EXPECT_EQ(version.String(block, L"OriginalFilename"), L"Pixmend.dll");
        EXPECT_EQ(version.String(block, L"InternalName"), L"Pixmend.dll");
        EXPECT_EQ(version.String(block, L"FileVersion"), L"1, 0, 3, 20662");
        EXPECT_EQ(version.String(block, L"ProductVersion"), L"1, 0, 3, 20662");
        wchar_t name[64] = {};
        ASSERT_GT(LoadStringW(GetModuleHandleW(nullptr), 100, name, 64), 0);
        EXPECT_EQ(std::wstring(name), L"PixmendApp");
    }
}

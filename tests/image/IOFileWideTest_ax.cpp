// Pixmend opens UTF-16 file names: a name outside the ANSI range must reach
// the same file that the system's own wide/UTF-8 interface names.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "image/PxFile.h"
#include "tests/TempName.h"

namespace {

TEST(IOFileWide, NonAsciiNameRoundTrips) {
    const std::string dir = UniqueTempName("");
    std::wstring name(dir.begin(), dir.end());
    name += L"px-\u00e9\u4e2d-\U0001F600.bin";  // e-acute, a CJK ideograph, an emoji
    {
        PxIOFile f;
        ASSERT_TRUE(f.Open(name.c_str(), L"wb"));
        EXPECT_EQ(f.Write("ok", 1, 2), 2u);
    }
    PxIOFile f;
    ASSERT_TRUE(f.Open(name.c_str(), L"rb"));
    EXPECT_EQ(f.Size(), 2);
    EXPECT_EQ(f.GetC(), 'o');
    f.Close();
#if defined(_WIN32)
    EXPECT_EQ(_wremove(name.c_str()), 0);
#else
    // On POSIX systems the name is stored as UTF-8.
    const std::string utf8 = dir + "px-\xC3\xA9\xE4\xB8\xAD-\xF0\x9F\x98\x80.bin";
    EXPECT_EQ(std::remove(utf8.c_str()), 0);
#endif
}

#if !defined(_WIN32)
// Converting to UTF-8 must not invent a name for an unpaired surrogate.
TEST(IOFileWide, LoneSurrogateIsRefused) {
    const wchar_t bad[] = {L'x', static_cast<wchar_t>(0xD800), L'.', L'b', 0};
    PxIOFile f;
    EXPECT_FALSE(f.Open(bad, L"wb"));
    EXPECT_EQ(f.GetHandle(), nullptr);
}
#endif

}  // namespace

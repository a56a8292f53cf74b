// Conversions whose result depends on the ANSI code page. The suite runs once
// per code page it is given (PIXMEND_TEST_ACP); natively it is always 1252.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/Convert.h"

unsigned ActiveAnsiCodePage();  // AcpProbe_*.cpp

namespace {

TEST(AnsiCodePage, IsTheOneThisRunAskedFor) {
    const char* wanted = std::getenv("PIXMEND_TEST_ACP");
    if (!wanted) GTEST_SKIP() << "no code page requested for this run";
    EXPECT_EQ(ActiveAnsiCodePage(), static_cast<unsigned>(std::atoi(wanted)));
}

TEST(AnsiCodePage, ConvertsCharactersOfTheCodePageBothWays) {
    const unsigned acp = ActiveAnsiCodePage();
    if (acp == 1252) {
        EXPECT_EQ(AnsiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
        EXPECT_EQ(WideToAnsi(L"caf\u00E9 \u20AC"), "caf\xE9 \x80");
        EXPECT_EQ(Utf8ToAnsi("\xC3\xA9"), "\xE9");
    } else if (acp == 936) {
        EXPECT_EQ(AnsiToUtf8("\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87");  // 中文
        EXPECT_EQ(WideToAnsi(L"\u4E2D\u6587"), "\xD6\xD0\xCE\xC4");
        EXPECT_EQ(MultiByteToWide("\xD6\xD0", false), L"\u4E2D");
        EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "\xD6\xD0");
    } else {
        GTEST_SKIP() << "no expectations for code page " << acp;
    }
}

TEST(AnsiCodePage, CharactersOutsideTheCodePageBecomeTheDefaultCharacter) {
    const unsigned acp = ActiveAnsiCodePage();
    // U+0E01 (Thai) exists in neither 1252 nor 936.
    const std::string out = WideToAnsi(L"a\u0E01b");
    ASSERT_EQ(out.size(), 3u) << "code page " << acp;
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[1], '?');
    EXPECT_EQ(out[2], 'b');
    if (acp == 1252) {
        EXPECT_EQ(WideToAnsi(L"\u4E2D"), "?");
    }
}

}  // namespace

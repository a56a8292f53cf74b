// Byte-string helpers and the code-page independent conversions.
#include <gtest/gtest.h>

#include "support/Convert.h"

namespace {

TEST(UrlEncode, KeepsAlnumTurnsWhiteSpaceToPlusAndEscapesTheRest) {
    EXPECT_EQ(UrlEncode("a b.png"), "a+b%2Epng");
    EXPECT_EQ(UrlEncode(""), "");
    EXPECT_EQ(UrlEncode("AZaz09"), "AZaz09");
    EXPECT_EQ(UrlEncode(" \t\n\v\f\r"), "++++++");
    EXPECT_EQ(UrlEncode("-_.~%+"), "%2D%5F%2E%7E%25%2B");
    EXPECT_EQ(UrlEncode(std::string("\xE4\xFF\x00\x7F", 4)), "%E4%FF%00%7F");
}

TEST(UrlEncode, OutputIsAtMostThreeTimesTheInput) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    const std::string encoded = UrlEncode(all);
    EXPECT_LE(encoded.size(), all.size() * 3);
    // 62 letters and digits, 6 white-space bytes, 188 escapes.
    EXPECT_EQ(encoded.size(), 62u + 6u + 188u * 3u);
}

TEST(ToLower, ChangesOnlyAsciiLetters) {
    std::string text = "IMG.PNG \xC4\xD6 Mixed";
    ToLower(text);
    EXPECT_EQ(text, "img.png \xC4\xD6 mixed");
    std::wstring wide = L"NTLM \u00C4\u4E2D";
    ToLower(wide);
    EXPECT_EQ(wide, L"ntlm \u00C4\u4E2D");
}

TEST(ReplaceAll, ReplacesEveryOccurrenceWithoutRescanning) {
    std::string url = "http://localhost/up?back=localhost";
    ReplaceAll(url, "localhost", "127.0.0.1");
    EXPECT_EQ(url, "http://127.0.0.1/up?back=127.0.0.1");

    std::string grows = "aXa";
    ReplaceAll(grows, "a", "aa");  // the replacement contains the needle
    EXPECT_EQ(grows, "aaXaa");

    std::string overlap = "aaa";
    ReplaceAll(overlap, "aa", "b");
    EXPECT_EQ(overlap, "ba");

    std::string untouched = "abc";
    ReplaceAll(untouched, "", "x");
    EXPECT_EQ(untouched, "abc");
    ReplaceAll(untouched, "zz", "x");
    EXPECT_EQ(untouched, "abc");

    std::wstring wide = L"x\u4E2Dx";
    ReplaceAll(wide, std::wstring(L"\u4E2D"), std::wstring(L"--"));
    EXPECT_EQ(wide, L"x--x");
}

TEST(Utf8, RoundTripsThroughUtf16IncludingSurrogatePairs) {
    const std::string utf8 = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";  // a, e-acute, CJK, emoji
    const std::wstring wide = Utf8ToWide(utf8);
    ASSERT_EQ(wide.size(), 5u);  // the emoji takes two UTF-16 units
    EXPECT_EQ(static_cast<unsigned>(wide[0]), 0x61u);
    EXPECT_EQ(static_cast<unsigned>(wide[1]), 0xE9u);
    EXPECT_EQ(static_cast<unsigned>(wide[2]), 0x4E2Du);
    EXPECT_EQ(static_cast<unsigned>(wide[3]), 0xD83Du);
    EXPECT_EQ(static_cast<unsigned>(wide[4]), 0xDE00u);
    EXPECT_EQ(WideToMultiByte(wide, true), utf8);
    EXPECT_EQ(MultiByteToWide(utf8, true), wide);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
    const std::wstring wide = Utf8ToWide("a\xFF" "b\xE4\xB8");  // bad lead, truncated sequence
    ASSERT_GE(wide.size(), 3u);
    EXPECT_EQ(wide.front(), L'a');
    EXPECT_EQ(static_cast<unsigned>(wide[1]), 0xFFFDu);
    EXPECT_EQ(wide[2], L'b');
    EXPECT_EQ(static_cast<unsigned>(wide.back()), 0xFFFDu);
    EXPECT_TRUE(Utf8ToWide("").empty());
}

TEST(Ansi, AsciiPassesUnchangedThroughEveryConversion) {
    const std::string ascii = "img.jpg width=640";
    EXPECT_EQ(AnsiToUtf8(ascii), ascii);
    EXPECT_EQ(Utf8ToAnsi(ascii), ascii);
    EXPECT_EQ(WideToAnsi(L"img.jpg width=640"), ascii);
    EXPECT_EQ(MultiByteToWide(ascii, false), L"img.jpg width=640");
    EXPECT_TRUE(AnsiToUtf8("").empty());
    EXPECT_TRUE(WideToAnsi(L"").empty());
}

}  // namespace

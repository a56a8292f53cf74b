// Percentage text, speed sampling with a test clock, size text.
#include <gtest/gtest.h>

#include "upload/Progress.h"

namespace {

uint32_t g_now = 0;
uint32_t TestClock() { return g_now; }

TEST(PercentText, TruncatesAndDoesNotClamp) {
    EXPECT_EQ(PercentText(0, 0), PX_TEXT("100%"));
    EXPECT_EQ(PercentText(1, 3), PX_TEXT("33%"));
    EXPECT_EQ(PercentText(2, 3), PX_TEXT("66%"));
    EXPECT_EQ(PercentText(0, 10), PX_TEXT("0%"));
    EXPECT_EQ(PercentText(10, 10), PX_TEXT("100%"));
    EXPECT_EQ(PercentText(5, 4), PX_TEXT("125%"));
    EXPECT_EQ(PercentText(4000000000u, 4294967295u), PX_TEXT("93%"));
    EXPECT_EQ(PercentText(4294967295u, 1), PX_TEXT("429496729500%"));
    EXPECT_EQ(PercentText(7, 0), PX_TEXT("100%"));  // nothing to send: no division by zero
}

TEST(SpeedCalculater, SamplesOncePerSecondOverThreeSlots) {
    g_now = 500;  // below 1000: the first sample is still taken at once
    SpeedCalculater calc(&TestClock);
    EXPECT_EQ(calc.Calculate(3000), 1000u);  // (3000 + 0 + 0) / 3
    g_now += 999;
    EXPECT_EQ(calc.Calculate(9000), 1000u);  // within the second: unchanged
    g_now += 1;
    EXPECT_EQ(calc.Calculate(9000), 3000u);  // (3000 + 6000) / 3
    g_now += 1000;
    EXPECT_EQ(calc.Calculate(9300), 3100u);  // (3000 + 6000 + 300) / 3
    g_now += 1000;
    EXPECT_EQ(calc.Calculate(9301), 2100u);  // the first slot is overwritten: (1 + 6000 + 300) / 3
    g_now += 1000;
    calc.Calculate(9301);
    g_now += 1000;
    EXPECT_EQ(calc.Calculate(9301), 0u);  // three idle seconds
}

TEST(SpeedCalculater, SurvivesTheTickWrapping) {
    g_now = 0xFFFFFF00u;
    SpeedCalculater calc(&TestClock);
    EXPECT_EQ(calc.Calculate(300), 100u);
    g_now += 1200;  // wraps past zero
    EXPECT_EQ(calc.Calculate(900), 300u);
    g_now += 10;
    EXPECT_EQ(calc.Calculate(5000), 300u);
}

TEST(FormatByteSize, UsesTheFlavoursNumberFormat) {
    EXPECT_EQ(FormatByteSize(0), PX_TEXT("0Bytes"));
    EXPECT_EQ(FormatByteSize(512), PX_TEXT("512Bytes"));
    EXPECT_EQ(FormatByteSize(1023), PX_TEXT("1023Bytes"));
    if (FlavourTraits::kShortSizeText) {
        EXPECT_EQ(FormatByteSize(1024), PX_TEXT("1KB"));
        EXPECT_EQ(FormatByteSize(1536), PX_TEXT("1.5KB"));
        EXPECT_EQ(FormatByteSize(1048576), PX_TEXT("1MB"));
        EXPECT_EQ(FormatByteSize(1234567), PX_TEXT("1.17737MB"));
        EXPECT_EQ(FormatByteSize(3.5 * 1073741824.0), PX_TEXT("3.5GB"));
        EXPECT_EQ(FormatByteSize(2.0 * 1099511627776.0), PX_TEXT("2TB"));
    } else {
        EXPECT_EQ(FormatByteSize(1024), PX_TEXT("1.00KB"));
        EXPECT_EQ(FormatByteSize(1536), PX_TEXT("1.50KB"));
        EXPECT_EQ(FormatByteSize(1048576), PX_TEXT("1.00MB"));
        EXPECT_EQ(FormatByteSize(1234567), PX_TEXT("1.18MB"));
        EXPECT_EQ(FormatByteSize(3.5 * 1073741824.0), PX_TEXT("3.50GB"));
        EXPECT_EQ(FormatByteSize(2.0 * 1099511627776.0), PX_TEXT("2.00TB"));
    }
}

}  // namespace

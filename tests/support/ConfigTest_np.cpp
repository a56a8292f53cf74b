// npPixmend's ConfigMgr and logging settings.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/ConfigMgr.h"
#include "support/Loger.h"
#include "tests/TempName.h"

namespace {

TEST(ConfigMgr, HoldsScriptValuesWithTheirDefaults) {
    ConfigMgr& config = ConfigMgr::Instance();
    EXPECT_EQ(config.GetJpegQuality(), 80);
    EXPECT_FALSE(config.GetWatermark());
    EXPECT_EQ(config.GetFileFieldName(), "img");
    config.SetJpegQuality(55);
    config.SetWatermark(true);
    EXPECT_EQ(config.GetJpegQuality(), 55);
    EXPECT_TRUE(config.GetWatermark());
}

TEST(ConfigMgr, StoresTheDefaultFolderInTheAnsiCodePage) {
    ConfigMgr& config = ConfigMgr::Instance();
    config.SetDefaultFolder("C:\\Pictures");
    EXPECT_EQ(config.GetDefaultFolder(), "C:\\Pictures");
    config.SetDefaultFolder("");
    EXPECT_EQ(config.GetDefaultFolder(), "");
}

TEST(Loger, StoresTheSettingsAndCreatesNoFile) {
    const std::string path = UniqueTempName("pixmend-log-probe.txt");
    std::remove(path.c_str());
    Loger::Instance().SetLogFile(path);
    Loger::Instance().GetLog().SetEnabled(1);
    EXPECT_EQ(Loger::Instance().GetLogFile(), path);
    EXPECT_EQ(Loger::Instance().GetLog().IsEnabled(), 1);
    FILE* probe = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(probe, nullptr);
    if (probe) std::fclose(probe);
}

}  // namespace

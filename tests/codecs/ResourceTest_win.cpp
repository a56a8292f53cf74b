// Loading from a module resource (Windows builds).
#include <gtest/gtest.h>
#include <windows.h>

#include "CodecTestUtil.h"

namespace {

TEST(CodecResource, MissingResourceFailsAndKeepsThePicture) {
    PxImage image;
    MakePattern(image, 3, 3);
    EXPECT_FALSE(image.LoadResource(nullptr, PXIMAGE_FORMAT_PNG, GetModuleHandleW(nullptr)));
    EXPECT_STREQ(image.GetLastError(), "Unable to load resource!");
    EXPECT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 3u);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "image/PxFile.h"
#include "tests/image/TempPath.h"

namespace {

TEST(IOFile, WithoutHandleEverythingFailsQuietly) {
    PxIOFile f;
    char buf[4];
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(f.Read(buf, 1, 4), 0u);
    EXPECT_EQ(f.Write(buf, 1, 4), 0u);
    EXPECT_FALSE(f.Seek(0, SEEK_SET));
    EXPECT_EQ(f.Tell(), 0);
    EXPECT_EQ(f.Size(), -1);
    EXPECT_FALSE(f.Flush());
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Error(), -1);
    EXPECT_FALSE(f.PutC('x'));
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_EQ(f.GetS(buf, 4), nullptr);
    EXPECT_EQ(f.Scanf("%c", buf), -1);
    EXPECT_FALSE(f.Open(nullptr, nullptr));
}

TEST(IOFile, OpensWritesAndReadsItsOwnFile) {
    TempPath path("iofile.bin");
    {
        PxIOFile f;
        ASSERT_TRUE(f.Open(path.Name(), PX_TEXT("wb")));
        EXPECT_FALSE(f.Open(path.Name(), PX_TEXT("wb")));  // already open
        EXPECT_TRUE(f.PutC('A'));
        EXPECT_EQ(f.Write("BCD\n42 rest", 1, 11), 11u);
        EXPECT_TRUE(f.Flush());
        EXPECT_EQ(f.Size(), 12);
        EXPECT_EQ(f.Tell(), 12);  // Size restores the position
    }  // destructor closes
    PxIOFile f;
    ASSERT_TRUE(f.Open(path.Name(), PX_TEXT("rb")));
    EXPECT_EQ(f.GetC(), 'A');
    char line[16];
    ASSERT_NE(f.GetS(line, sizeof(line)), nullptr);
    EXPECT_STREQ(line, "BCD\n");
    int value = 0;
    EXPECT_EQ(f.Scanf("%d", &value), 1);
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(f.Seek(-4, SEEK_END));
    char rest[4];
    EXPECT_EQ(f.Read(rest, 2, 2), 2u);
    EXPECT_EQ(std::string(rest, 4), "rest");
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Error(), 0);
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(f.GetHandle(), nullptr);
}

TEST(IOFile, GivenHandleStaysOpen) {
    TempPath path("iofile-handle.bin");
    FILE* fp = OpenNarrow(path, "w+b");
    ASSERT_NE(fp, nullptr);
    {
        PxIOFile f(fp);
        EXPECT_EQ(f.Write("xyz", 1, 3), 3u);
        EXPECT_TRUE(f.Close());
        EXPECT_EQ(f.GetHandle(), fp);  // not closed, not forgotten
    }
    // Still usable after the wrapper is gone, and closing it is ours.
    EXPECT_EQ(std::fseek(fp, 0, SEEK_SET), 0);
    EXPECT_EQ(std::fgetc(fp), 'x');
    EXPECT_EQ(std::fclose(fp), 0);
}

TEST(IOFile, CopyNeverClosesTheOriginalsHandle) {
    TempPath path("iofile-copy.bin");
    PxIOFile f;
    ASSERT_TRUE(f.Open(path.Name(), PX_TEXT("w+b")));
    {
        PxIOFile copy(f);
        EXPECT_EQ(copy.GetHandle(), f.GetHandle());
        PxIOFile assigned;
        assigned = f;
        EXPECT_TRUE(assigned.PutC('q'));
    }  // copies destroyed: the handle must survive
    EXPECT_TRUE(f.PutC('r'));
    EXPECT_EQ(f.Size(), 2);
    EXPECT_TRUE(f.Close());
}

TEST(IOFile, OpenFailsForMissingFile) {
    TempPath path("does-not-exist.bin");
    PxIOFile f;
    EXPECT_FALSE(f.Open(path.Name(), PX_TEXT("rb")));
    EXPECT_EQ(f.GetHandle(), nullptr);
}

}  // namespace

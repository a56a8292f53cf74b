#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/PxFile.h"

namespace {

TEST(MemFile, UnopenedStreamBehavesAsClosed) {
    PxMemFile f;
    const uint8_t byte = 1;
    EXPECT_EQ(f.Write(&byte, 1, 1), 0u);
    EXPECT_EQ(f.Size(), -1);
    EXPECT_EQ(f.Tell(), -1);
    EXPECT_EQ(f.Error(), -1);
    EXPECT_TRUE(f.Eof());
    EXPECT_FALSE(f.Seek(0, SEEK_SET));
    EXPECT_FALSE(f.Flush());
    EXPECT_FALSE(f.PutC(1));
    EXPECT_EQ(f.GetC(), -1);
}

TEST(MemFile, GrowsIn64KiBStepsStrictlyAboveNeed) {
    PxMemFile f;
    ASSERT_TRUE(f.Open());
    EXPECT_FALSE(f.Open());  // already has a buffer
    std::vector<uint8_t> data(65536, 0x5A);
    EXPECT_EQ(f.Write(data.data(), 1, 10), 10u);
    EXPECT_EQ(f.Size(), 10);
    EXPECT_EQ(f.Tell(), 10);
    EXPECT_EQ(f.GetCapacity(), 65536u);
    EXPECT_EQ(f.Write(data.data(), 1, 65536), 65536u);
    EXPECT_EQ(f.GetCapacity(), 131072u);
    EXPECT_EQ(f.Size(), 65546);

    // Exactly 65,536 bytes needed gives 131,072: growth ends strictly above.
    PxMemFile g;
    ASSERT_TRUE(g.Open());
    EXPECT_EQ(g.Write(data.data(), 65536, 1), 1u);
    EXPECT_EQ(g.GetCapacity(), 131072u);
}

TEST(MemFile, WriteReturnsItemsAndRejectsEmptyOrNull) {
    PxMemFile f;
    ASSERT_TRUE(f.Open());
    const uint32_t words[3] = {1, 2, 3};
    EXPECT_EQ(f.Write(words, 4, 3), 3u);
    EXPECT_EQ(f.Size(), 12);
    EXPECT_EQ(f.Write(nullptr, 1, 4), 0u);
    EXPECT_EQ(f.Write(words, 0, 4), 0u);
    EXPECT_EQ(f.Write(words, 4, 0), 0u);
    // An item count whose byte total overflows is refused, not wrapped.
    EXPECT_EQ(f.Write(words, SIZE_MAX / 2, 4), 0u);
    EXPECT_EQ(f.Size(), 12);
}

TEST(MemFile, SeekRules) {
    PxMemFile f;
    ASSERT_TRUE(f.Open());
    ASSERT_EQ(f.Write("0123456789", 1, 10), 10u);
    EXPECT_TRUE(f.Seek(-5, SEEK_SET));
    EXPECT_EQ(f.Tell(), 0);
    EXPECT_FALSE(f.Seek(0, 3));
    EXPECT_FALSE(f.Seek(0, -1));
    EXPECT_TRUE(f.Seek(-3, SEEK_END));
    EXPECT_EQ(f.Tell(), 7);
    EXPECT_TRUE(f.Seek(2, SEEK_CUR));
    EXPECT_EQ(f.Tell(), 9);
    EXPECT_TRUE(f.Seek(-100, SEEK_CUR));
    EXPECT_EQ(f.Tell(), 0);
    // Past the end is allowed; Error and Eof report it.
    EXPECT_TRUE(f.Seek(15, SEEK_SET));
    EXPECT_EQ(f.Error(), 1);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.GetC(), -1);
}

TEST(MemFile, WritePastEndFillsGapWithZeros) {
    PxMemFile f;
    ASSERT_TRUE(f.Open());
    // Dirty the buffer first so that stale bytes would show in the gap.
    std::vector<uint8_t> junk(200, 0xCC);
    ASSERT_EQ(f.Write(junk.data(), 1, junk.size()), junk.size());
    ASSERT_TRUE(f.Seek(0, SEEK_SET));
    PxMemFile g;
    ASSERT_TRUE(g.Open());
    ASSERT_EQ(g.Write("abcde", 1, 5), 5u);
    ASSERT_TRUE(g.Seek(10, SEEK_END));
    ASSERT_EQ(g.Write("Z", 1, 1), 1u);
    EXPECT_EQ(g.Size(), 5 + 11);
    const uint8_t* b = g.GetBuffer(false);
    for (int i = 5; i < 15; ++i)
        EXPECT_EQ(b[i], 0) << "gap byte " << i;
    EXPECT_EQ(b[15], 'Z');
    // PutC past the end behaves the same.
    ASSERT_TRUE(g.Seek(3, SEEK_END));
    ASSERT_TRUE(g.PutC('Q'));
    EXPECT_EQ(g.Size(), 20);
    EXPECT_EQ(g.GetBuffer(false)[16], 0);
    EXPECT_EQ(g.GetBuffer(false)[19], 'Q');
}

TEST(MemFile, FailedGrowthLeavesStreamClosed) {
    PxMemFile f;
    ASSERT_TRUE(f.Open());
    ASSERT_EQ(f.Write("abc", 1, 3), 3u);
    // A write ending beyond what the 32-bit stream can hold cannot grow it.
    ASSERT_TRUE(f.Seek(INT32_MAX - 1, SEEK_SET));
    EXPECT_EQ(f.Write("0123456789", 1, 10), 0u);
    EXPECT_EQ(f.Size(), -1);
    EXPECT_EQ(f.Write("x", 1, 1), 0u);
    EXPECT_EQ(f.GetBuffer(false), nullptr);
    EXPECT_TRUE(f.Open());  // usable again after a fresh Open
}

TEST(MemFile, ReadCountsWholeItems) {
    uint8_t bytes[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    PxMemFile f(bytes, sizeof(bytes));
    ASSERT_TRUE(f.Seek(4, SEEK_SET));
    uint8_t out[8] = {};
    // Item size 4 with 6 bytes left: 6 bytes copied, 1 whole item.
    EXPECT_EQ(f.Read(out, 4, 2), 1u);
    EXPECT_EQ(f.Tell(), 10);
    EXPECT_EQ(std::memcmp(out, bytes + 4, 6), 0);
    EXPECT_EQ(f.Read(out, 1, 1), 0u);
    ASSERT_TRUE(f.Seek(0, SEEK_SET));
    EXPECT_EQ(f.Read(nullptr, 1, 1), 0u);
    EXPECT_EQ(f.Read(out, 0, 1), 0u);
    EXPECT_EQ(f.Read(out, 2, 3), 3u);
    EXPECT_EQ(f.Tell(), 6);
}

TEST(MemFile, GetSReadsLines) {
    uint8_t text[] = {'a', 'b', '\n', 'c', 'd', 'e', 'f', 'g'};
    PxMemFile f(text, sizeof(text));
    char line[16];
    ASSERT_NE(f.GetS(line, sizeof(line)), nullptr);
    EXPECT_STREQ(line, "ab\n");
    // Capacity 1 stores only the terminator and consumes nothing.
    ASSERT_EQ(f.GetS(line, 1), line);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(f.Tell(), 3);
    // Capacity limits the line: n - 1 bytes.
    ASSERT_NE(f.GetS(line, 3), nullptr);
    EXPECT_STREQ(line, "cd");
    // A last line without newline is still returned, then the end gives null.
    ASSERT_NE(f.GetS(line, sizeof(line)), nullptr);
    EXPECT_STREQ(line, "efg");
    EXPECT_EQ(f.GetS(line, sizeof(line)), nullptr);
    EXPECT_EQ(f.GetS(line, 0), nullptr);
    EXPECT_EQ(f.Scanf("%d", line), 0);
}

TEST(MemFile, WrappedCallerBytesAreNeverFreedOrReallocated) {
    // Caller memory on the stack: handing it to free or realloc would be
    // caught by the sanitizer.
    uint8_t caller[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    {
        PxMemFile f(caller, sizeof(caller));
        EXPECT_EQ(f.Size(), 8);
        EXPECT_EQ(f.GetBuffer(false), caller);
        ASSERT_TRUE(f.Seek(0, SEEK_SET));
        ASSERT_EQ(f.Write("xy", 1, 2), 2u);  // fits: written in place
        EXPECT_EQ(caller[0], 'x');
        EXPECT_TRUE(f.Close());
        EXPECT_EQ(f.GetBuffer(false), caller);  // not freed, still there
    }
    {
        PxMemFile f(caller, sizeof(caller));
        ASSERT_TRUE(f.Seek(0, SEEK_END));
        ASSERT_EQ(f.Write("9", 1, 1), 1u);  // needs growth: moves to its own buffer
        uint8_t* own = f.GetBuffer(false);
        EXPECT_NE(own, caller);
        EXPECT_EQ(f.GetCapacity(), 65536u);
        EXPECT_EQ(f.Size(), 9);
        EXPECT_EQ(own[1], 'y');
        EXPECT_EQ(own[8], '9');
        EXPECT_EQ(caller[7], 8);  // caller bytes untouched
        EXPECT_TRUE(f.Close());  // frees the owned copy (a leak would be reported)
        EXPECT_EQ(f.Size(), -1);
    }
}

TEST(MemFile, DetachedBufferBelongsToCaller) {
    uint8_t* detached = nullptr;
    {
        PxMemFile f;
        ASSERT_TRUE(f.Open());
        ASSERT_EQ(f.Write("hello", 1, 5), 5u);
        detached = f.GetBuffer();  // detach: stream must not free it
        // A later growth must not realloc (and so free) the caller's buffer.
        std::vector<uint8_t> big(70000, 1);
        ASSERT_EQ(f.Write(big.data(), 1, big.size()), big.size());
        EXPECT_NE(f.GetBuffer(false), detached);
    }
    EXPECT_EQ(std::memcmp(detached, "hello", 5), 0);
    std::free(detached);

    PxMemFile kept;
    ASSERT_TRUE(kept.Open());
    ASSERT_TRUE(kept.PutC('k'));
    EXPECT_NE(kept.GetBuffer(false), nullptr);  // no detach: the stream still frees it
}

TEST(MemFile, CopiesShareBytesButOnlyTheOriginalFrees) {
    PxMemFile original;
    ASSERT_TRUE(original.Open());
    ASSERT_EQ(original.Write("abc", 1, 3), 3u);
    {
        PxMemFile copy(original);
        EXPECT_EQ(copy.GetBuffer(false), original.GetBuffer(false));
        EXPECT_EQ(copy.Size(), 3);
        EXPECT_EQ(copy.Tell(), 3);
        PxMemFile assigned;
        ASSERT_TRUE(assigned.Open());  // its own buffer is released on assignment
        assigned = copy;
        EXPECT_EQ(assigned.GetBuffer(false), original.GetBuffer(false));
    }
    // Both copies are gone; the original's buffer must still be alive.
    ASSERT_TRUE(original.Seek(0, SEEK_SET));
    EXPECT_EQ(original.GetC(), 'a');
}

TEST(MemFile, PutCAndGetCRoundTrip) {
    PxMemFile f;
    ASSERT_TRUE(f.Open());
    for (int i = 0; i < 70000; ++i)
        ASSERT_TRUE(f.PutC(static_cast<uint8_t>(i)));
    EXPECT_EQ(f.Size(), 70000);
    EXPECT_EQ(f.GetCapacity(), 131072u);
    ASSERT_TRUE(f.Seek(65535, SEEK_SET));
    EXPECT_EQ(f.GetC(), 255);
    EXPECT_EQ(f.GetC(), 0);
    EXPECT_FALSE(f.Eof());
    ASSERT_TRUE(f.Seek(0, SEEK_END));
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Error(), 0);
}

TEST(MemFile, BasePutCWritesThroughWrite) {
    // PxFile's own PutC, reached through a stream that does not override it.
    struct Counting : PxMemFile {
        using PxMemFile::PxMemFile;
        bool PutC(uint8_t c) override { return PxFile::PutC(c); }
    } f;
    EXPECT_FALSE(f.PutC('a'));  // closed: Write returns 0
    ASSERT_TRUE(f.Open());
    EXPECT_TRUE(f.PutC('a'));
    EXPECT_EQ(f.Size(), 1);
}

}  // namespace

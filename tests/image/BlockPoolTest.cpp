// The image buffer pool: reuse of large blocks, and a block released twice.
#include <gtest/gtest.h>

#include <cstring>

#include "image/PxBlockPool.h"

namespace {

constexpr size_t kLarge = size_t{2} << 20;

TEST(BlockPool, LargeBlocksComeBackOnlyForSimilarSizes) {
    PxBlockPool::Trim();
    uint8_t* a = PxBlockPool::Allocate(kLarge);
    ASSERT_NE(a, nullptr);
    std::memset(a, 1, kLarge);
    PxBlockPool::Release(a);
    uint8_t* tooSmall = PxBlockPool::Allocate(kLarge / 4);  // would waste 3/4 of it
    EXPECT_NE(tooSmall, a);
    uint8_t* similar = PxBlockPool::Allocate(kLarge - 100);
    EXPECT_EQ(similar, a);
    PxBlockPool::Release(tooSmall);
    PxBlockPool::Release(similar);
    PxBlockPool::Trim();
}

TEST(BlockPool, ABlockReleasedTwiceIsHandedOutOnce) {
    PxBlockPool::Trim();
    uint8_t* a = PxBlockPool::Allocate(kLarge);
    ASSERT_NE(a, nullptr);
    PxBlockPool::Release(a);
    PxBlockPool::Release(a);
    uint8_t* first = PxBlockPool::Allocate(kLarge);
    uint8_t* second = PxBlockPool::Allocate(kLarge);
    EXPECT_NE(first, second);
    PxBlockPool::Release(first);
    PxBlockPool::Release(second);
    PxBlockPool::Trim();
}

}  // namespace

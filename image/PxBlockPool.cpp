#include "image/PxBlockPool.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define PX_POOL_POISONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PX_POOL_POISONS 1
#endif
#endif
#ifdef PX_POOL_POISONS
#include <sanitizer/asan_interface.h>
#endif

namespace PxBlockPool {
namespace {

// Each block starts with a header recording its usable capacity; the header
// size keeps the returned pointer 16-byte aligned.
constexpr size_t kHeader = 16;
constexpr size_t kMinKept = size_t{1} << 20;       // smaller blocks go straight back
constexpr size_t kMaxKeptTotal = size_t{96} << 20;  // bound on idle memory
constexpr int kSlots = 2;

struct Kept {
    uint8_t* base = nullptr;
    size_t capacity = 0;
};

struct Pool {
    std::mutex lock;
    Kept slots[kSlots];
    size_t total = 0;
};

// A kept block is nobody's memory: under AddressSanitizer any touch of it
// through a stale pointer is reported, as it would be after free().
void MarkKept(uint8_t* base, size_t capacity, bool kept) {
#ifdef PX_POOL_POISONS
    if (kept)
        ASAN_POISON_MEMORY_REGION(base + kHeader, capacity);
    else
        ASAN_UNPOISON_MEMORY_REGION(base + kHeader, capacity);
#else
    (void)base;
    (void)capacity;
    (void)kept;
#endif
}

Pool& ThePool() {
    static Pool* pool = new Pool;  // never destroyed: blocks may be released at exit
    return *pool;
}

size_t CapacityOf(uint8_t* base) {
    size_t capacity;
    std::memcpy(&capacity, base, sizeof(capacity));
    return capacity;
}

uint8_t* TakeKept(size_t bytes) {
    if (bytes < kMinKept)
        return nullptr;
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    for (Kept& slot : pool.slots) {
        // Reuse only a block that wastes at most half of itself.
        if (slot.base && slot.capacity >= bytes && slot.capacity / 2 <= bytes) {
            uint8_t* base = slot.base;
            MarkKept(base, slot.capacity, false);
            pool.total -= slot.capacity;
            slot = Kept();
            return base;
        }
    }
    return nullptr;
}

}  // namespace

uint8_t* Allocate(size_t bytes) {
    if (bytes > SIZE_MAX - kHeader)
        return nullptr;
    uint8_t* base = TakeKept(bytes);
    if (!base) {
        base = static_cast<uint8_t*>(std::malloc(kHeader + bytes));
        if (!base)
            return nullptr;
        std::memcpy(base, &bytes, sizeof(bytes));
    }
    return base + kHeader;
}

size_t Capacity(const uint8_t* block) {
    return block ? CapacityOf(const_cast<uint8_t*>(block) - kHeader) : 0;
}

void Release(uint8_t* block) {
    if (!block)
        return;
    uint8_t* base = block - kHeader;
    const size_t capacity = CapacityOf(base);
    if (capacity >= kMinKept && capacity <= kMaxKeptTotal) {
        Pool& pool = ThePool();
        std::lock_guard<std::mutex> guard(pool.lock);
        // A block released twice must not be kept twice: it would later be
        // handed to two owners at once.
        for (const Kept& slot : pool.slots)
            if (slot.base == base)
                return;
        MarkKept(base, capacity, true);
        // Make room by dropping the oldest kept blocks.
        for (Kept& slot : pool.slots) {
            if (slot.base && pool.total + capacity > kMaxKeptTotal) {
                pool.total -= slot.capacity;
                std::free(slot.base);
                slot = Kept();
            }
        }
        for (Kept& slot : pool.slots) {
            if (!slot.base) {
                slot.base = base;
                slot.capacity = capacity;
                pool.total += capacity;
                return;
            }
        }
        // Both slots busy: replace the first one.
        pool.total -= pool.slots[0].capacity;
        std::free(pool.slots[0].base);
        pool.slots[0] = pool.slots[1];
        pool.slots[1].base = base;
        pool.slots[1].capacity = capacity;
        pool.total += capacity;
        return;
    }
    std::free(base);
}

void Trim() {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    for (Kept& slot : pool.slots) {
        std::free(slot.base);
        slot = Kept();
    }
    pool.total = 0;
}

}  // namespace PxBlockPool

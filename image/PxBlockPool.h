#pragma once
// Allocator for image buffers (pixel blocks, alpha channels, selection
// masks). Large blocks that are released are kept (a few, bounded in total)
// and handed out again for a request of similar size, so that repeated
// operations on big pictures (rotating, refitting the canvas) reuse memory
// whose pages are already mapped instead of faulting in fresh ones.
// Thread-safe.
#include <cstddef>
#include <cstdint>

namespace PxBlockPool {

// A block of at least `bytes` bytes (contents unspecified), or null.
uint8_t* Allocate(size_t bytes);
// Usable bytes of a block from Allocate (at least what was asked for).
size_t Capacity(const uint8_t* block);
// Returns a block from Allocate (null is ignored).
void Release(uint8_t* block);
// Frees every kept block.
void Trim();

}  // namespace PxBlockPool

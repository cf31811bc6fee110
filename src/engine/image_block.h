// ImageBlock: the memory of an image, a byte vector whose large blocks are
// mapped apart on huge pages.
//
// Each first touch of a 4 KiB page costs a page fault, and in a virtual
// machine a fault costs about as much as filling the page a few hundred
// times over: a new 3 MiB block took 10 ms to zero-fill, with huge pages half
// a millisecond. A block of at least kHugeBlockBytes is therefore mapped on
// its own, aligned to 2 MiB and marked for transparent huge pages before
// anything touches it; smaller ones come from the ordinary heap. Elements are
// initialised as in any vector, so nothing about the bytes changes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace tarvil {

inline constexpr size_t kHugeBlockBytes = size_t{1} << 20;

// Raw memory for a block: a mapping of its own when large, else the heap.
// Throws std::bad_alloc. FreeBlockMemory takes the same size.
void* AllocateBlockMemory(size_t bytes);
void FreeBlockMemory(void* memory, size_t bytes) noexcept;

template <class T>
struct BlockAllocator {
    using value_type = T;
    BlockAllocator() noexcept = default;
    template <class U>
    BlockAllocator(const BlockAllocator<U>&) noexcept {}
    T* allocate(size_t count) {
        if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(AllocateBlockMemory(count * sizeof(T)));
    }
    void deallocate(T* memory, size_t count) noexcept {
        FreeBlockMemory(memory, count * sizeof(T));
    }
    template <class U>
    bool operator==(const BlockAllocator<U>&) const noexcept {
        return true;
    }
};

using ImageBlock = std::vector<uint8_t, BlockAllocator<uint8_t>>;

// The same bytes, whichever memory holds them.
inline bool operator==(const ImageBlock& block, const std::vector<uint8_t>& bytes) {
    return std::equal(block.begin(), block.end(), bytes.begin(), bytes.end());
}

}  // namespace tarvil

// Memory of image blocks: large ones on huge pages of their own mapping.
#include "engine/image_block.h"

#include <sys/mman.h>

namespace tarvil {

namespace {

constexpr uintptr_t kHugePageBytes = uintptr_t{2} << 20;

// Whether a block asks AddressSanitizer's heap: its own mappings would hide
// every overrun from the sanitiser.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapOnly = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kHeapOnly = true;
#else
constexpr bool kHeapOnly = false;
#endif
#else
constexpr bool kHeapOnly = false;
#endif

size_t MappedBytes(size_t bytes) {
    return (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
}

bool Mapped(size_t bytes) {
    return !kHeapOnly && bytes >= kHugeBlockBytes;
}

// Maps one huge page more than needed and gives back the ends, so that the
// block starts on a huge-page boundary.
void* MapAligned(size_t bytes) {
    const size_t length = MappedBytes(bytes);
    if (length < bytes || length > SIZE_MAX - kHugePageBytes) throw std::bad_alloc();
    const size_t reserved = length + kHugePageBytes;
    void* mapping =
        mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(mapping);
    const uintptr_t aligned = (start + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    if (aligned > start) munmap(mapping, aligned - start);
    const uintptr_t end = aligned + length;
    if (start + reserved > end) munmap(reinterpret_cast<void*>(end), start + reserved - end);
    // Only a hint: where the kernel does not take it the block has small pages.
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

void* AllocateBlockMemory(size_t bytes) {
    if (Mapped(bytes)) return MapAligned(bytes);
    return ::operator new(bytes);
}

void FreeBlockMemory(void* memory, size_t bytes) noexcept {
    if (memory == nullptr) return;
    if (Mapped(bytes)) {
        munmap(memory, MappedBytes(bytes));
        return;
    }
    ::operator delete(memory);
}

}  // namespace tarvil

#include "hologram/LargeAllocator.h"

#include <sys/mman.h>

#include <cstdlib>

namespace velmora {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeBuffer = std::size_t{4} << 20;
}

void* allocateLarge(std::size_t bytes) {
    if (bytes < kLargeBuffer) return ::operator new(bytes == 0 ? 1 : bytes, std::nothrow);
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* block = std::aligned_alloc(kHugePage, rounded);
    // Only advice: without huge pages the buffer works the same.
    if (block) ::madvise(block, rounded, MADV_HUGEPAGE);
    return block;
}

void freeLarge(void* block, std::size_t bytes) {
    if (bytes < kLargeBuffer)
        ::operator delete(block, std::nothrow);
    else
        std::free(block);
}

}  // namespace velmora

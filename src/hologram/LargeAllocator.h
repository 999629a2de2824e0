#pragma once
// An allocator for the fields' large buffers. A full-HD padded field is
// tens of megabytes; touched page by page it costs a page fault every 4 KiB,
// which on a virtual machine is about a tenth of a hologram's time. Buffers
// of 4 MiB and more are aligned to 2 MiB and offered to the kernel's
// transparent huge pages (where it takes them only on request); smaller
// ones come from the ordinary heap.

#include <cstddef>
#include <new>

namespace velmora {

// nullptr when there is no memory for it.
void* allocateLarge(std::size_t bytes);
void freeLarge(void* block, std::size_t bytes);

template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) {}

    T* allocate(std::size_t count) {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        void* block = allocateLarge(count * sizeof(T));
        if (!block) throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, std::size_t count) { freeLarge(block, count * sizeof(T)); }

    template <class U>
    bool operator==(const LargeAllocator<U>&) const { return true; }
    template <class U>
    bool operator!=(const LargeAllocator<U>&) const { return false; }
};

}  // namespace velmora

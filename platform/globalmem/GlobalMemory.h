#pragma once
// Global memory blocks: the handle/lock/unlock/free life by which TWAIN
// containers and native transfers pass between an application and the
// source manager. A handle is the address of a block header; both sides use
// the C heap, so a block made on one side is freed on the other.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace globalmem {

inline constexpr unsigned GMEM_MOVEABLE = 0x0002;
inline constexpr unsigned GMEM_ZEROINIT = 0x0040;
inline constexpr unsigned GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

using HGLOBAL = void*;

namespace detail {
inline constexpr uint32_t kMagic = 0x4D454D47;  // "GMEM"
struct alignas(std::max_align_t) Block {
    uint32_t magic;
    uint32_t locks;
    size_t size;
};
inline Block* Of(HGLOBAL h) {
    auto* b = static_cast<Block*>(h);
    return b && b->magic == kMagic ? b : nullptr;
}
// Set by tests: the next allocation fails as it would without memory.
inline bool g_failNext = false;
}  // namespace detail

// A block of `size` bytes (zeroed with GMEM_ZEROINIT); null when there is
// no memory for it.
inline HGLOBAL GlobalAlloc(unsigned flags, size_t size) {
    if (detail::g_failNext) {
        detail::g_failNext = false;
        return nullptr;
    }
    if (size > SIZE_MAX - sizeof(detail::Block)) return nullptr;
    void* raw = std::malloc(sizeof(detail::Block) + size);
    if (!raw) return nullptr;
    auto* b = new (raw) detail::Block{detail::kMagic, 0, size};
    if (flags & GMEM_ZEROINIT) std::memset(b + 1, 0, size);
    return b;
}

// The block's bytes; null for a handle that is not a live block.
inline void* GlobalLock(HGLOBAL h) {
    detail::Block* b = detail::Of(h);
    if (!b) return nullptr;
    ++b->locks;
    return b + 1;
}

// False once the block is no longer locked.
inline bool GlobalUnlock(HGLOBAL h) {
    detail::Block* b = detail::Of(h);
    if (!b || b->locks == 0) return false;
    return --b->locks > 0;
}

inline size_t GlobalSize(HGLOBAL h) {
    detail::Block* b = detail::Of(h);
    return b ? b->size : 0;
}

// Frees the block; null on success, the handle itself when it was not a block.
inline HGLOBAL GlobalFree(HGLOBAL h) {
    detail::Block* b = detail::Of(h);
    if (!b) return h;
    b->magic = 0;
    std::free(b);
    return nullptr;
}

namespace test {
inline void FailNextAllocation() { detail::g_failNext = true; }
}  // namespace test

}  // namespace globalmem

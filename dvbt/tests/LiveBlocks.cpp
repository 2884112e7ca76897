#include "LiveBlocks.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Replacing the global allocation functions in the test program replaces them for the shared
// libraries it loads as well. Every form goes through malloc and free, so the forms stay paired
// under the sanitizers too.

namespace {

std::atomic<std::ptrdiff_t> s_liveBlocks = 0;

void* allocate(std::size_t size) noexcept
{
    void* block = std::malloc(size ? size : 1);
    if (block)
        ++s_liveBlocks;
    return block;
}

void release(void* block) noexcept
{
    if (!block)
        return;
    --s_liveBlocks;
    std::free(block);
}

void* allocate_or_throw(std::size_t size)
{
    if (void* block = allocate(size))
        return block;
    throw std::bad_alloc();
}

} // namespace

std::ptrdiff_t live_blocks()
{
    return s_liveBlocks;
}

void* operator new(std::size_t size) { return allocate_or_throw(size); }
void* operator new[](std::size_t size) { return allocate_or_throw(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }

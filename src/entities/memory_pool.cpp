#include "entities/memory_pool.h"

#include <cstdlib>

MemoryPool::MemoryPool(std::uint32_t elementSize, std::uint32_t chunkSize)
    : buffer_(allocate(chunkSize)), elementSize_(elementSize), capacity_(chunkSize), chunkSize_(chunkSize) {}

MemoryPool::~MemoryPool() {
    release(buffer_);
}

void MemoryPool::grow(std::uint32_t slots) {
    const std::uint64_t needed = static_cast<std::uint64_t>(elementSize_) * slots;
    const std::uint64_t chunks = (needed - capacity_ + chunkSize_ - 1) / chunkSize_;
    const std::uint64_t newCapacity = capacity_ + chunks * chunkSize_;
    if (newCapacity > UINT32_MAX) {
        throw std::bad_alloc();
    }
    reallocate(static_cast<std::uint32_t>(newCapacity));
    capacity_ = static_cast<std::uint32_t>(newCapacity);
}

std::byte* MemoryPool::allocate(std::size_t bytes) {
    void* block = std::malloc(bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return static_cast<std::byte*>(block);
}

std::byte* MemoryPool::resizeBlock(std::byte* block, std::size_t bytes) {
    void* resized = std::realloc(block, bytes);
    if (resized == nullptr) {
        throw std::bad_alloc();
    }
    return static_cast<std::byte*>(resized);
}

void MemoryPool::release(std::byte* block) {
    std::free(block);
}

#pragma once
// The free particle indices of one instance, oldest first: spawning takes
// the front, dying appends at the back. A ring over a block allocated once,
// so spawning and freeing never allocate.
#include <cstdint>
#include <optional>
#include <vector>

class ParticleFreeList {
  public:
    // Holds every index 0 .. capacity - 1, ascending.
    explicit ParticleFreeList(std::uint32_t capacity) : slots_(capacity), size_(capacity) {
        for (std::uint32_t k = 0; k < capacity; ++k) {
            slots_[k] = k;
        }
    }

    std::uint32_t size() const { return size_; }
    std::uint32_t capacity() const { return static_cast<std::uint32_t>(slots_.size()); }
    bool empty() const { return size_ == 0; }

    // Removes and returns the oldest free index; nothing when none is free.
    std::optional<std::uint32_t> take() {
        if (size_ == 0) {
            return std::nullopt;
        }
        const std::uint32_t index = slots_[head_];
        head_ = next(head_);
        --size_;
        return index;
    }

    // Appends a freed index. Returns false, and keeps nothing, when the list
    // is full already: each index is either alive or free, so a full list
    // means the caller freed an index twice.
    bool give(std::uint32_t index) {
        if (size_ == capacity()) {
            return false;
        }
        std::uint32_t tail = head_ + size_;
        if (tail >= capacity()) {
            tail -= capacity();
        }
        slots_[tail] = index;
        ++size_;
        return true;
    }

    // The k-th free index from the front (k < size()).
    std::uint32_t operator[](std::uint32_t k) const {
        std::uint32_t at = head_ + k;
        return slots_[at >= capacity() ? at - capacity() : at];
    }

    std::vector<std::uint32_t> toVector() const {
        std::vector<std::uint32_t> indices;
        indices.reserve(size_);
        for (std::uint32_t k = 0; k < size_; ++k) {
            indices.push_back((*this)[k]);
        }
        return indices;
    }

  private:
    std::uint32_t next(std::uint32_t at) const { return at + 1 == capacity() ? 0 : at + 1; }

    std::vector<std::uint32_t> slots_;
    std::uint32_t head_ = 0;
    std::uint32_t size_;
};

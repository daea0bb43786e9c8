#pragma once
// Flat slot storage shared by components, messages and particle systems: one
// contiguous block per stored type, addressed by slot number, grown in whole
// chunks and never shrunk.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

// Growth step, in bytes, of every component and message pool.
inline constexpr std::uint32_t kPoolChunkBytes = 8192;

// The untyped part of a pool: the block and its bookkeeping. Slots hold live
// objects only where the typed pool constructed them; `expand` never
// constructs anything.
class MemoryPool {
  public:
    MemoryPool(const MemoryPool&) = delete;
    MemoryPool& operator=(const MemoryPool&) = delete;

    // Releases the block (the typed pool has destroyed its objects by then).
    virtual ~MemoryPool();
    // Destroys the object in slot `index`, if one lives there.
    virtual void destroy(std::uint32_t index) = 0;
    // Destroys every live object and sets the size to 0; the block is kept.
    virtual void clear() = 0;

    // Makes the pool cover `slots` slots (nothing if it already does). When the
    // block is too small it grows by the fewest whole chunks that fit, and the
    // live objects move to the new block: pointers into the pool go stale,
    // handles (which look the slot up each time) do not.
    void expand(std::uint32_t slots) {
        if (slots <= size_) {
            return;
        }
        if (static_cast<std::uint64_t>(elementSize_) * slots > capacity_) {
            grow(slots);
        }
        live_.resize(slots, false);
        size_ = slots;
    }

    // Slots covered; for message pools, the number of messages held.
    std::uint32_t size() const { return size_; }
    // Bytes allocated, always a whole number of chunks.
    std::uint32_t capacity() const { return capacity_; }
    std::uint32_t elementSize() const { return elementSize_; }
    std::uint32_t chunkSize() const { return chunkSize_; }
    // True while slot `index` holds a live object.
    bool constructed(std::uint32_t index) const { return index < size_ && live_[index]; }

  protected:
    // Allocates the first chunk.
    MemoryPool(std::uint32_t elementSize, std::uint32_t chunkSize);

    // Replaces `buffer_` by a block of `newCapacity` bytes holding the same
    // live objects in the same slots, and releases the old block.
    virtual void reallocate(std::uint32_t newCapacity) = 0;

    static std::byte* allocate(std::size_t bytes);
    // Bytewise growth, for types that may be copied as bytes.
    static std::byte* resizeBlock(std::byte* block, std::size_t bytes);
    static void release(std::byte* block);

    std::byte* buffer_ = nullptr;
    std::uint32_t elementSize_;
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = 0;
    std::uint32_t chunkSize_;
    // One flag per slot below size_: set while the slot holds a live object.
    std::vector<bool> live_;

  private:
    void grow(std::uint32_t slots);
};

namespace pool_detail {
// Plain structures have no constructor taking their fields; they are built
// with braces instead.
template <typename T, typename... Args>
T* constructAt(void* where, Args&&... args) {
    if constexpr (std::is_constructible_v<T, Args...>) {
        return ::new (where) T(std::forward<Args>(args)...);
    } else {
        return ::new (where) T{std::forward<Args>(args)...};
    }
}

template <typename T, typename... Args>
T makeValue(Args&&... args) {
    if constexpr (std::is_constructible_v<T, Args...>) {
        return T(std::forward<Args>(args)...);
    } else {
        return T{std::forward<Args>(args)...};
    }
}
}  // namespace pool_detail

// A pool of T with a growth step of ChunkBytes bytes. Slot k lives at byte
// offset k * sizeof(T) of the block.
template <typename T, std::uint32_t ChunkBytes = kPoolChunkBytes>
class TypedMemoryPool final : public MemoryPool {
    static_assert(alignof(T) <= alignof(std::max_align_t), "pool blocks are only aligned for standard types");
    static_assert(ChunkBytes > 0, "a pool must grow");

  public:
    TypedMemoryPool() : MemoryPool(static_cast<std::uint32_t>(sizeof(T)), ChunkBytes) {}
    ~TypedMemoryPool() override { destroyLive(); }

    void destroy(std::uint32_t index) override {
        if (index < size_ && live_[index]) {
            destroySlot(index);
        }
    }

    void clear() override {
        destroyLive();
        live_.clear();
        size_ = 0;
    }

    // Constructs a T in slot `index` (below size()) from `args`, replacing (and
    // destroying) whatever object lived there. The arguments may refer to that
    // old object: the new value is built before the old one goes.
    template <typename... Args>
    T& emplace(std::uint32_t index, Args&&... args) {
        assert(index < size_);
        if (live_[index]) {
            T replacement = pool_detail::makeValue<T>(std::forward<Args>(args)...);
            destroySlot(index);
            return constructSlot(index, std::move(replacement));
        }
        return constructSlot(index, std::forward<Args>(args)...);
    }

    // Appends one object after the last slot, growing the block when needed.
    template <typename... Args>
    T& emplaceBack(Args&&... args) {
        const std::uint32_t index = size_;
        if (static_cast<std::uint64_t>(elementSize_) * (index + 1) > capacity_) {
            // The arguments may point into the block that is about to move.
            T value = pool_detail::makeValue<T>(std::forward<Args>(args)...);
            expand(index + 1);
            return constructSlot(index, std::move(value));
        }
        live_.push_back(false);
        T* object;
        try {
            object = pool_detail::constructAt<T>(slotAddress(index), std::forward<Args>(args)...);
        } catch (...) {
            live_.pop_back();
            throw;
        }
        live_.back() = true;
        size_ = index + 1;
        return *object;
    }

    // Unchecked slot access; the slot must hold a live object to be read.
    T* get(std::uint32_t index) { return std::launder(reinterpret_cast<T*>(slotAddress(index))); }
    const T* get(std::uint32_t index) const {
        return std::launder(reinterpret_cast<const T*>(slotAddress(index)));
    }
    T& operator[](std::uint32_t index) { return *get(index); }
    const T& operator[](std::uint32_t index) const { return *get(index); }

    // Range over slots 0 .. size() - 1, for pools filled front to back (message
    // pools), where every such slot is live. Appending to the pool while
    // walking it may move the block: loop by index in that case.
    T* begin() { return size_ == 0 ? reinterpret_cast<T*>(buffer_) : get(0); }
    T* end() { return begin() + size_; }
    const T* begin() const { return size_ == 0 ? reinterpret_cast<const T*>(buffer_) : get(0); }
    const T* end() const { return begin() + size_; }

  private:
    std::byte* slotAddress(std::uint32_t index) const {
        return buffer_ + static_cast<std::size_t>(index) * sizeof(T);
    }

    template <typename... Args>
    T& constructSlot(std::uint32_t index, Args&&... args) {
        T* object = pool_detail::constructAt<T>(slotAddress(index), std::forward<Args>(args)...);
        live_[index] = true;
        return *object;
    }

    void destroySlot(std::uint32_t index) {
        live_[index] = false;
        get(index)->~T();
    }

    void destroyLive() {
        if constexpr (!std::is_trivially_destructible_v<T>) {
            for (std::uint32_t i = 0; i < size_; ++i) {
                if (live_[i]) {
                    destroySlot(i);
                }
            }
        }
    }

    void reallocate(std::uint32_t newCapacity) override {
        if constexpr (std::is_trivially_copyable_v<T>) {
            buffer_ = resizeBlock(buffer_, newCapacity);
        } else {
            std::byte* fresh = allocate(newCapacity);
            // Objects may point into themselves (short strings, list and tree
            // headers), so they are moved, not copied bytewise. A move that can
            // throw is replaced by a copy, so a failure leaves the pool intact.
            std::uint32_t i = 0;
            try {
                for (; i < size_; ++i) {
                    if (live_[i]) {
                        ::new (fresh + static_cast<std::size_t>(i) * sizeof(T))
                            T(std::move_if_noexcept(*get(i)));
                    }
                }
            } catch (...) {
                while (i-- > 0) {
                    if (live_[i]) {
                        std::launder(reinterpret_cast<T*>(fresh + static_cast<std::size_t>(i) * sizeof(T)))
                            ->~T();
                    }
                }
                release(fresh);
                throw;
            }
            for (i = 0; i < size_; ++i) {
                if (live_[i]) {
                    get(i)->~T();
                }
            }
            release(buffer_);
            buffer_ = fresh;
        }
    }
};
